#include "symbolimageprovider.h"

#include <QColor>
#include <QDebug>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrlQuery>

namespace {

const QString IconFolder = QStringLiteral(":/qml/images/Icons/");

QString resourcePath(const QString& path)
{
    if (!path.isEmpty() && !path.contains(QLatin1Char('/')))
        return IconFolder + path + (path.contains(QLatin1Char('.')) ? QString() : QStringLiteral(".svg"));
    QString p = path;
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    return QStringLiteral(":/") + p;
}

// The size to draw at: the requested one, a missing side following the picture's proportions,
// or the picture's own size when nothing is requested.
QSize targetSize(const QSize& natural, const QSize& requested)
{
    if (natural.isEmpty())
        return requested.isValid() && !requested.isEmpty() ? requested : QSize(1, 1);
    if (requested.width() > 0 && requested.height() > 0)
        return requested;
    if (requested.width() > 0)
        return QSize(requested.width(), qMax(1, natural.height() * requested.width() / natural.width()));
    if (requested.height() > 0)
        return QSize(qMax(1, natural.width() * requested.height() / natural.height()), requested.height());
    return natural;
}

QImage blank(const QSize& requested)
{
    QImage image(targetSize(QSize(), requested), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

SymbolImageProvider::SymbolImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image)
{
}

QImage SymbolImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    const int query = id.indexOf(QLatin1Char('?'));
    const QString path = resourcePath(query < 0 ? id : id.left(query));
    const QUrlQuery options(query < 0 ? QString() : id.mid(query + 1));

    QColor tint;
    if (options.hasQueryItem(QStringLiteral("color"))) {
        const QString value = options.queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded);
        tint = QColor(value.startsWith(QLatin1Char('#')) ? value : QLatin1Char('#') + value);
        if (!tint.isValid())
            qWarning().noquote().nospace() << "[SymbolProvider] WARN: bad colour '" << value << "' for " << path
                                           << ", drawn in its own colours";
    }

    QImage image;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer renderer;
        if (QFile::exists(path) && renderer.load(path)) {
            image = QImage(targetSize(renderer.defaultSize(), requestedSize), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter);
        }
    } else {
        QImage picture(path);
        if (!picture.isNull()) {
            const QSize target = targetSize(picture.size(), requestedSize);
            image = picture.size() == target
                ? picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                : picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    }

    if (image.isNull()) {
        qWarning().noquote().nospace() << "[SymbolProvider] WARN: cannot draw symbol " << path;
        image = blank(requestedSize);
    } else if (tint.isValid()) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), tint);
    }

    if (size)
        *size = image.size();
    return image;
}
