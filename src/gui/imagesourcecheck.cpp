#include "imagesourcecheck.h"

#include "secretmask.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

ImageSourceCheck::ImageSourceCheck(const QString& ownFolder)
    : m_ownFolder(ownFolder)
{
}

QString ImageSourceCheck::headerRefusal(const QString& path) const
{
    // Reads the header only; the decoded size is what costs memory, not the file size.
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid())
        return QStringLiteral("not a picture");
    if (size.width() > MaxSide || size.height() > MaxSide)
        return QStringLiteral("declares %1 x %2 pixels, more than %3 a side")
            .arg(size.width())
            .arg(size.height())
            .arg(MaxSide);
    return QString();
}

QString ImageSourceCheck::refusal(const QString& value, QUrl* accepted) const
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QStringLiteral("empty");

    if (text.startsWith(QLatin1String("qrc:")) || text.startsWith(QLatin1String(":/"))) {
        const QString path = QUrl(text.startsWith(QLatin1Char(':')) ? QStringLiteral("qrc") + text : text).path();
        const QString resource = QLatin1Char(':') + path;
        if (path.isEmpty() || !QFileInfo(resource).isFile())
            return QStringLiteral("no such resource");
        const QString header = headerRefusal(resource);
        if (header.isEmpty() && accepted)
            *accepted = QUrl(QStringLiteral("qrc:") + path);
        return header;
    }

    // A local path, plain or as a file: URL without a host; no other scheme is ever fetched.
    QString local = text;
    if (text.startsWith(QLatin1String("file:"))) {
        const QUrl url(text);
        if (!url.isValid() || !url.host().isEmpty())
            return QStringLiteral("not a local file");
        local = url.toLocalFile();
    } else if (!QUrl(text).scheme().isEmpty() && QUrl(text).scheme().size() > 1) {
        return QStringLiteral("not a resource or a local file");
    }
    if (local.isEmpty())
        return QStringLiteral("not a local file");

    const QString folder = QFileInfo(m_ownFolder).canonicalFilePath();
    // Links are followed before the folder is compared, so none leads out of it.
    const QString path = QFileInfo(QDir(m_ownFolder).absoluteFilePath(local)).canonicalFilePath();
    if (path.isEmpty())
        return QStringLiteral("no such file");
    if (folder.isEmpty() || !path.startsWith(folder + QLatin1Char('/')))
        return QStringLiteral("outside the state folder %1").arg(m_ownFolder);
    // Never opened unless regular: opening a named pipe or a terminal waits for ever.
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    if (info.size() > MaxFileBytes)
        return QStringLiteral("larger than %1 bytes").arg(MaxFileBytes);
    const QString header = headerRefusal(path);
    if (header.isEmpty() && accepted)
        *accepted = QUrl::fromLocalFile(path);
    return header;
}

QString ImageSourceCheck::source(const QString& value, const QString& fallback)
{
    if (m_checked && value == m_lastValue)
        return m_lastSource;
    QUrl url;
    const QString why = refusal(value, &url);
    if (why.isEmpty()) {
        m_lastSource = url.toString();
    } else {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Screen-saver image refused (" << why
                                       << "), showing the default : " << SecretMask::maskUrlValue(value).left(256);
        m_lastSource = fallback;
    }
    m_lastValue = value;
    m_checked = true;
    return m_lastSource;
}
