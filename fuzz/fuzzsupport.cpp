#include "fuzzsupport.h"

#include "logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdlib>

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
    // Kept for the whole process (never destroyed): the exit handler below still needs it.
    static const QString* dir = [] {
        const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                                : QDir::tempPath();
        const QString prefix = QStringLiteral("vovadudoz-fuzz-");
        const QFileInfoList old = QDir(base).entryInfoList({ prefix + QLatin1Char('*') }, QDir::Dirs);
        for (const QFileInfo& info : old) {
            bool ok = false;
            const qint64 pid = info.fileName().mid(prefix.size()).toLongLong(&ok);
            if (ok && pid > 0 && info.isWritable() && kill(pid_t(pid), 0) != 0 && errno == ESRCH)
                QDir(info.filePath()).removeRecursively();
        }
        auto* path = new QString(base + QLatin1Char('/') + prefix + QString::number(QCoreApplication::applicationPid()));
        QDir(*path).removeRecursively();
        QDir().mkpath(*path);
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
