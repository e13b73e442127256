#include "settingsfile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <limits>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t PrivateMode = S_IRUSR | S_IWUSR;

qint64 ageMs(const struct stat& info)
{
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return qAbs(QDateTime::currentMSecsSinceEpoch() - modified);
}

// Whether the lock file open at fd names a holder that is gone: the settings library writes
// its process id, program name, host name, machine id and boot id into it, one a line, right
// after taking the lock. A lock from an earlier boot (a power cut) or of a process that no
// longer runs is left over, however young. One that says nothing (not filled in yet, or
// another format) leaves the decision to its age.
bool holderIsGone(int fd)
{
    char buffer[512];
    const ssize_t size = ::pread(fd, buffer, sizeof buffer, 0);
    if (size <= 0)
        return false;
    const QList<QByteArray> lines = QByteArray(buffer, int(size)).split('\n');
    bool ok = false;
    const qint64 pid = lines.at(0).toLongLong(&ok);
    if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    if (lines.size() > 4 && !lines.at(4).isEmpty() && lines.at(4) != QSysInfo::bootUniqueId())
        return true;
    if (lines.size() > 2 && !lines.at(2).isEmpty() && lines.at(2) != QSysInfo::machineHostName().toUtf8())
        return false; // another machine's process, on a shared folder: not ours to judge
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

qint64 kernelBootTimeMs()
{
    // The file has no size to go by: read whole; its "btime" line is the boot's time in seconds.
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = stat.read(1 << 20).split('\n');
    for (const QByteArray& line : lines) {
        if (!line.startsWith("btime "))
            continue;
        bool ok = false;
        const qint64 seconds = line.mid(6).trimmed().toLongLong(&ok);
        return ok && seconds > 0 ? seconds * 1000 : 0;
    }
    return 0;
}

SettingsFile::BootClock& bootClock()
{
    static SettingsFile::BootClock clock;
    return clock;
}

// Whether the file was last written before this boot began: left by a writer that a power cut
// (or a reboot) stopped, whatever the file says.
bool writtenBeforeBoot(const struct stat& info)
{
    const qint64 boot = SettingsFile::bootTimeMs();
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return boot > 0 && modified < boot;
}

} // namespace

void SettingsFile::setBootClock(BootClock clock)
{
    bootClock() = std::move(clock);
}

qint64 SettingsFile::bootTimeMs()
{
    return bootClock() ? bootClock()() : kernelBootTimeMs();
}

SettingsFile::SettingsFile(const QString& fileName, std::function<void()> write, QObject* parent)
    : QObject(parent)
    , m_fileName(fileName)
    , m_write(std::move(write))
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &SettingsFile::retry);
}

SettingsFile::~SettingsFile()
{
    if (isPending() && !flush(FreshLockMs + 500))
        qWarning().noquote().nospace() << "[Settings] WARN: " << m_fileName << " is locked by another writer; last change not saved";
}

bool SettingsFile::write()
{
    if (!lockIsFree(m_fileName)) {
        // One line per wait, not one per try.
        if (!m_waiting) {
            qWarning().noquote().nospace() << "[Settings] WARN: " << lockFileName(m_fileName)
                                           << " is held; writing when it is free";
            m_waiting = true;
        }
        if (!m_retry.isActive())
            m_retry.start();
        return false;
    }
    m_waiting = false;
    m_retry.stop();
    m_write();
    return true;
}

void SettingsFile::retry()
{
    if (write())
        emit written();
}

bool SettingsFile::flush(int ms)
{
    if (!isPending())
        return true;
    QElapsedTimer waited;
    waited.start();
    while (!lockIsFree(m_fileName)) {
        if (waited.elapsed() >= ms)
            return false;
        QThread::msleep(RetryMs);
    }
    m_waiting = false;
    m_retry.stop();
    m_write();
    emit written();
    return true;
}

bool SettingsFile::lockIsFree(const QString& fileName)
{
    const QByteArray path = QFile::encodeName(lockFileName(fileName));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno == ENOENT;
    // A writer holds an exclusive lock on its lock file from right after creating it until it
    // is done; whoever gets the lock here knows that no writer is at work.
    bool free = false;
    struct stat opened {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        // A fresh one may be in the instant between its creation and its writer's lock,
        // unless it was written before this boot or names a holder that is gone.
        if (writtenBeforeBoot(opened) || ageMs(opened) >= FreshLockMs || holderIsGone(fd)) {
            // Only the file we hold, not one that replaced it meanwhile.
            if (::lstat(path.constData(), &named) == 0 && named.st_ino == opened.st_ino && named.st_dev == opened.st_dev
                && ::unlink(path.constData()) == 0) {
                qWarning().noquote().nospace() << "[Settings] WARN: Removed a stale lock file : "
                                               << QFile::decodeName(path);
                free = true;
            }
        }
    }
    ::close(fd);
    return free;
}

int SettingsFile::removeLeftovers(const QString& fileName, const QString& copyDir, const QString& copyPattern)
{
    const QFileInfo file(fileName);
    // The settings library replaces a file through "<name>.XXXXXX" in the same folder.
    const QRegularExpression replacement(QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(file.fileName())));
    QStringList candidates;
    const QDir dir = file.absoluteDir();
    for (const QString& name : dir.entryList({ file.fileName() + QStringLiteral(".*") }, QDir::Files | QDir::Hidden)) {
        if (replacement.match(name).hasMatch())
            candidates << dir.filePath(name);
    }
    if (!copyDir.isEmpty() && !copyPattern.isEmpty()) {
        const QDir copies(copyDir);
        for (const QString& name : copies.entryList({ copyPattern }, QDir::Files | QDir::Hidden))
            candidates << copies.filePath(name);
    }
    int removed = 0;
    for (const QString& candidate : qAsConst(candidates)) {
        struct stat info {};
        const QByteArray path = QFile::encodeName(candidate);
        // Ours, a plain file, and old enough that no write of any running process is behind it.
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()
            || ageMs(info) < LeftoverAgeMs)
            continue;
        if (::unlink(path.constData()) == 0) {
            ++removed;
            qWarning().noquote().nospace() << "[Settings] WARN: Removed a copy left by an unfinished write : " << candidate;
        }
    }
    return removed;
}

void SettingsFile::makePrivate(const QString& fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, PrivateMode);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    struct stat info {};
    if (::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 07777) != PrivateMode)
        ::chmod(path.constData(), PrivateMode);
}
