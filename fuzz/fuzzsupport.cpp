#include "fuzzsupport.h"

#include "logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fuzz {

void start()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = { name, nullptr };
    // Never destroyed: libFuzzer leaves through exit(), and the objects of the last input may
    // still point at it.
    new QCoreApplication(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    // The settings store looks for a power cut's left-over copies in the temporary folder on
    // every start; the targets start one per input, so that folder is our own small one.
    qputenv("TMPDIR", QFile::encodeName(scratchDir()));
    // The clock proxy runs timedatectl: the tests' stand-in answers, and the host's time zone
    // is never read or set, whatever an input asks for.
    qputenv("PATH", VOVADUDOZ_SOURCE_DIR "/tests/auto/clock/fake/ok:" + qgetenv("PATH"));
    manager::Logger::instance()->setSyslog(false);
    manager::Logger::instance()->setStderr(false);
}

QString scratchDir()
{
    // One folder per process, named by its id. A run that crashes, or a libFuzzer job that ends
    // with _Exit, leaves its folder behind: the next process removes those of processes gone.
    // Whether a process is gone is told by the lock its folder's owner file holds for the
    // process's life, not by its id: a process in another PID namespace (a cross-built target
    // run under unshare) sees no such id and would remove the folder of a running fuzzer.
    // Kept for the whole process (never destroyed): the exit handler below still needs it.
    static const QString* dir = [] {
        const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                                : QDir::tempPath();
        const QString prefix = QStringLiteral("vovadudoz-fuzz-");
        const QString owner = QStringLiteral("/.owner");
        const QFileInfoList old = QDir(base).entryInfoList({ prefix + QLatin1Char('*') }, QDir::Dirs);
        for (const QFileInfo& info : old) {
            if (!info.isWritable())
                continue;
            const int fd = ::open(QFile::encodeName(info.filePath() + owner).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue; // being made, or made by an older build: not ours to judge
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                QDir(info.filePath()).removeRecursively();
            ::close(fd);
        }
        auto* path = new QString(base + QLatin1Char('/') + prefix + QString::number(QCoreApplication::applicationPid()));
        QDir(*path).removeRecursively();
        QDir().mkpath(*path);
        // Held until the process ends, however it ends; never closed. Locked before it takes
        // its name, so nobody finds it unlocked.
        const QByteArray unnamed = QFile::encodeName(*path + owner + QStringLiteral(".new"));
        const int held = ::open(unnamed.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (held >= 0 && ::flock(held, LOCK_EX) == 0)
            ::rename(unnamed.constData(), QFile::encodeName(*path + owner).constData());
        return path;
    }();
    static const bool cleanup = std::atexit([] { QDir(*dir).removeRecursively(); }) == 0;
    Q_UNUSED(cleanup);
    return *dir;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

void settle()
{
    // Also what has finished meanwhile: the clock's timedatectl runs, without waiting for them.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {
qint64 s_handling = -1;
} // namespace

void noteHandling(qint64 nanoseconds)
{
    s_handling = (s_handling < 0 ? 0 : s_handling) + nanoseconds;
}

qint64 takeHandling()
{
    const qint64 handling = s_handling;
    s_handling = -1;
    return handling;
}

void splitFirstLine(const QByteArray& input, QByteArray* first, QByteArray* rest)
{
    const int end = input.indexOf('\n');
    *first = end < 0 ? input : input.left(end);
    *rest = end < 0 ? QByteArray() : input.mid(end + 1);
}

} // namespace fuzz
