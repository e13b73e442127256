#include "sessionmanager.h"

#include "config.h"
#include "settingsfile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>

#include <memory>

namespace {

SessionManager::Clock monotonicClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

} // namespace

SessionManager::SessionManager(Config& config, const QString& stateDir, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_clock(monotonicClock())
    , m_stateFile(stateDir.isEmpty() ? QString() : QDir(stateDir).filePath(QLatin1String(StateFileName)))
{
    m_lockoutTick.setInterval(1000);
    connect(&m_lockoutTick, &QTimer::timeout, this, &SessionManager::onLockoutTick);
    if (!m_stateFile.isEmpty()) {
        m_stateWriter = std::make_unique<SettingsFile>(m_stateFile, [this] { writeLockout(); });
        SettingsFile::removeLeftovers(m_stateFile);
    }
    loadLockout();
    // A ten-minute session should end on time; a coarse timer may drift by seconds.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SessionManager::onExpired);
    connect(&m_config, &Config::configChanged, this, &SessionManager::loadUsers);
    loadUsers();
}

SessionManager::~SessionManager() = default;

bool SessionManager::isSavePending() const
{
    return m_stateWriter && m_stateWriter->isPending();
}

bool SessionManager::sessionActive() const
{
    return m_current >= 0;
}

std::optional<User> SessionManager::user() const
{
    if (m_current < 0)
        return std::nullopt;
    return m_users.at(m_current);
}

int SessionManager::remainingTime() const
{
    return m_timer.remainingTime();
}

void SessionManager::setClock(Clock clock)
{
    // A lock-out in progress keeps the time it has left on the new clock.
    const qint64 left = m_lockedUntil >= 0 ? qMax<qint64>(0, m_lockedUntil - m_clock()) : -1;
    m_clock = clock ? std::move(clock) : monotonicClock();
    if (left >= 0)
        m_lockedUntil = m_clock() + left;
}

int SessionManager::lockoutRemainingSec() const
{
    if (m_lockedUntil < 0)
        return 0;
    const qint64 left = m_lockedUntil - m_clock();
    return left > 0 ? int((left + 999) / 1000) : 0;
}

int SessionManager::nextLockoutMs() const
{
    qint64 ms = LockoutMs;
    for (int i = 0; i < m_lockouts && ms < MaxLockoutMs; ++i)
        ms *= 2;
    return int(qMin<qint64>(ms, MaxLockoutMs));
}

void SessionManager::onLockoutTick()
{
    if (!lockedOut()) {
        m_lockoutTick.stop();
        m_lockedUntil = -1;
    }
    emit lockoutChanged();
}

void SessionManager::loadLockout()
{
    if (m_stateFile.isEmpty())
        return;
    const QSettings state(m_stateFile, QSettings::IniFormat);
    m_failedLogins = qBound(0, state.value(QStringLiteral("login/failed")).toInt(), MaxFailedLogins - 1);
    m_lockouts = qBound(0, state.value(QStringLiteral("login/lockouts")).toInt(), 64);
    // The monotonic clock starts again with the process: the end is kept in wall-clock time,
    // and what is left is never taken as longer than the lock-out itself, so a clock set back
    // cannot lengthen it beyond that.
    const qint64 until = state.value(QStringLiteral("login/lockedUntilUtcMs")).toLongLong();
    const qint64 length = qBound<qint64>(0, state.value(QStringLiteral("login/lockoutMs")).toLongLong(), MaxLockoutMs);
    // An end far in the past (a garbled file) must not overflow the subtraction.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 left = until > now ? qMin(until - now, length) : 0;
    if (until > 0 && left > 0) {
        m_lockedUntil = m_clock() + left;
        m_lockoutTick.start();
        qWarning().noquote().nospace() << "[SessionManager] WARN: Login still locked for " << (left + 999) / 1000
                                       << " second(s)";
    }
}

void SessionManager::saveLockout(qint64 lockoutMs)
{
    m_savedLockoutMs = lockoutMs;
    if (m_stateWriter)
        m_stateWriter->write();
}

void SessionManager::writeLockout() const
{
    const qint64 lockoutMs = m_savedLockoutMs;
    // Whoever can write the lock-out can take it away: owner only, whatever the umask. The
    // replacement the settings library writes takes the rights of the file it replaces.
    SettingsFile::makePrivate(m_stateFile);
    {
        QSettings state(m_stateFile, QSettings::IniFormat);
        state.setValue(QStringLiteral("login/failed"), m_failedLogins);
        state.setValue(QStringLiteral("login/lockouts"), m_lockouts);
        const qint64 left = m_lockedUntil >= 0 ? qMax<qint64>(0, m_lockedUntil - m_clock()) : 0;
        state.setValue(QStringLiteral("login/lockedUntilUtcMs"), left > 0 ? QDateTime::currentMSecsSinceEpoch() + left : 0);
        state.setValue(QStringLiteral("login/lockoutMs"), left > 0 ? lockoutMs : 0);
        state.sync();
        if (state.status() != QSettings::NoError)
            qWarning().noquote().nospace() << "[SessionManager] WARN: Could not keep the login lock-out in " << m_stateFile;
    }
    SettingsFile::makePrivate(m_stateFile);
}

void SessionManager::loadUsers()
{
    m_users.clear();
    m_users.append(User { 1, QStringLiteral("Maintenance"), QStringLiteral("Technician"),
                          m_config.get(QStringLiteral("gui/settingsPin")).toString() });
    // The open session goes on with the rebuilt user; only the built-in one exists today,
    // but a list that shrank must not leave the index pointing past its end.
    if (m_current >= m_users.size()) {
        m_current = -1;
        m_timer.stop();
        emit sessionActiveChanged();
    }
}

void SessionManager::loginRequest(const QString& pin)
{
    qInfo().noquote().nospace() << "[SessionManager] Login requested with PIN";
    // The PIN itself never reaches the log: log files leave the vehicle.
    qDebug().noquote().nospace() << "[SessionManager] Entered PIN    : " << pin.size() << " character(s)";

    const qint64 now = m_clock();
    if (m_lockedUntil >= 0) {
        if (now < m_lockedUntil) {
            const qint64 left = (m_lockedUntil - now + 999) / 1000;
            qWarning().noquote().nospace() << "[SessionManager] WARN: Access denied, login locked for "
                                           << left << " more second(s) after " << MaxFailedLogins
                                           << " wrong PINs";
            emit accessDenied();
            return;
        }
        m_lockedUntil = -1;
        m_lockoutTick.stop();
        emit lockoutChanged();
    }

    int match = -1;
    if (!pin.isEmpty()) {
        for (int i = 0; i < m_users.size(); ++i) {
            if (!m_users.at(i).pin.isEmpty() && m_users.at(i).pin == pin) {
                match = i;
                break;
            }
        }
    }
    if (match < 0) {
        if (m_users.at(0).pin.isEmpty())
            qInfo().noquote().nospace() << "[SessionManager] Maintenance login is disabled until a PIN is set";
        qWarning().noquote().nospace() << "[SessionManager] WARN: Access denied";
        const bool lock = ++m_failedLogins >= MaxFailedLogins;
        const int length = nextLockoutMs();
        if (lock) {
            m_lockedUntil = now + length;
            m_failedLogins = 0;
            ++m_lockouts;
            m_lockoutTick.start();
            qWarning().noquote().nospace() << "[SessionManager] WARN: " << MaxFailedLogins
                                           << " wrong PINs in a row, login locked for " << length / 1000 << " s";
        }
        saveLockout(length);
        emit accessDenied();
        if (lock)
            emit lockoutChanged();
        return;
    }

    if (m_failedLogins != 0 || m_lockouts != 0) {
        m_failedLogins = 0;
        m_lockouts = 0;
        saveLockout(0);
    }
    m_current = match;
    m_timer.setSingleShot(true);
    m_timer.start(SessionTimeoutMs);
    const User& u = m_users.at(m_current);
    qInfo().noquote().nospace() << "[SessionManager] User logged-in : " << u.firstName << ", " << u.lastName;
    emit accessGranted();
    emit sessionActiveChanged();
}

void SessionManager::logoutRequest()
{
    if (m_current < 0)
        return;
    const User& u = m_users.at(m_current);
    qInfo().noquote().nospace() << "[SessionManager] User logged-out : " << u.firstName << ", " << u.lastName;
    m_timer.stop();
    m_current = -1;
    emit sessionActiveChanged();
}

void SessionManager::resetTimer()
{
    // Without a session a running timer would later end a session that does not exist.
    if (m_current < 0)
        return;
    m_timer.start(SessionTimeoutMs);
}

void SessionManager::onExpired()
{
    if (m_current < 0)
        return;
    qInfo().noquote().nospace() << "[SessionManager] Session expired";
    m_current = -1;
    emit sessionActiveChanged();
    emit expired();
}
