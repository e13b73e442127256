#include "sessionmanager.h"

#include "config.h"

#include <QDebug>
#include <QElapsedTimer>

#include <memory>

namespace {

SessionManager::Clock monotonicClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

} // namespace

SessionManager::SessionManager(Config& config, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_clock(monotonicClock())
{
    // A ten-minute session should end on time; a coarse timer may drift by seconds.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SessionManager::onExpired);
    connect(&m_config, &Config::configChanged, this, &SessionManager::loadUsers);
    loadUsers();
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
    m_clock = clock ? std::move(clock) : monotonicClock();
    m_lockedUntil = -1;
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
        m_failedLogins = 0;
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
        if (++m_failedLogins >= MaxFailedLogins) {
            m_lockedUntil = now + LockoutMs;
            m_failedLogins = 0;
            qWarning().noquote().nospace() << "[SessionManager] WARN: " << MaxFailedLogins
                                           << " wrong PINs in a row, login locked for "
                                           << LockoutMs / 1000 << " s";
        }
        emit accessDenied();
        return;
    }

    m_failedLogins = 0;
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
