#include "deviceidentity.h"

#include "config.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A serial-number file is one short line; reading stops here whatever the file holds.
constexpr qint64 MaxBytes = 64 * 1024;

// Opens `path` for reading only when it is a regular file. The open itself never waits: a
// named pipe or a device put in the setting would otherwise hold the GUI thread until someone
// writes to it. Returns -1 with `error` set otherwise.
int openRegularFile(const QString& path, QString& error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = QStringLiteral("not a regular file");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

DeviceIdentity::DeviceIdentity(Config& config, QObject* parent)
    : QObject(parent)
    , m_config(config)
{
}

QString DeviceIdentity::path() const
{
    return m_config.get(QStringLiteral("gui/deviceId")).toString();
}

void DeviceIdentity::load()
{
    const QString file = path();
    qInfo().noquote().nospace() << "[GUIManager] Loading device id from : " << file;
    QString error;
    const int fd = openRegularFile(file, error);
    QFile input;
    if (fd < 0 || !input.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) {
            error = input.errorString();
            ::close(fd);
        }
        qCritical().noquote().nospace() << "[GUIManager] ERROR: Could not load device S/N from file : " << file << " ("
                                        << error << ")";
        return;
    }
    while (!input.atEnd() && input.pos() < MaxBytes) {
        const QString line = QString::fromUtf8(input.readLine(4096)).trimmed();
        if (line.isEmpty())
            continue;
        m_id = line;
        emit idChanged();
        return;
    }
}

bool DeviceIdentity::setId(const QString& id)
{
    // The file keeps one trimmed line, so the id in memory is what a restart reads back.
    const QString trimmed = id.trimmed();
    if (trimmed == m_id)
        return false;
    // An empty id would overwrite the serial-number file with nothing.
    if (trimmed.isEmpty()) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Ignoring an empty device id";
        return false;
    }
    qWarning().noquote().nospace() << "[GUIManager] Device ID changed : " << trimmed;
    m_id = trimmed;
    const bool saved = save();
    emit idChanged();
    return saved;
}

bool DeviceIdentity::save()
{
    const QString file = path();
    qInfo().noquote().nospace() << "[GUIManager] Saving device id to : " << file;
    // Written beside the target and renamed over it, so a power cut leaves either the old or
    // the new serial number. Where that is not possible (a read-only folder) the old file
    // stays as it is and the failure is reported: writing in place could leave it truncated.
    QSaveFile output(file);
    output.setDirectWriteFallback(false);
    const QByteArray bytes = m_id.toUtf8();
    bool ok = output.open(QIODevice::WriteOnly);
    if (ok)
        ok = output.write(bytes) == bytes.size() && output.commit();
    if (ok)
        return true;
    const QString error = output.errorString();
    output.cancelWriting();
    qCritical().noquote().nospace() << "[GUIManager] ERROR: Could not save device S/N to file : " << file << " ("
                                    << error << ")";
    emit saveFailed(error);
    return false;
}
