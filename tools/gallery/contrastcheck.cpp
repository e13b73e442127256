#include "scenegeometry.h"
#include "screencheck.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QQuickItem>
#include <QQuickWindow>

#include <cmath>

using namespace scene;

namespace {

// Relative luminance and contrast ratio as WCAG 2.1 defines them.
double luminance(QRgb rgb)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool near(QRgb a, QRgb b, int tolerance = 10)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// The colour counted most often; black for none.
QRgb mostCounted(const QHash<QRgb, int>& counts)
{
    QRgb best = 0xff000000u;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    }
    return best;
}

// The colour most pixels of the area have: what the text or symbol is drawn on.
QRgb commonColour(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    const QRect box = area.intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = box.left(); x <= box.right(); ++x)
            ++counts[line[x] | 0xff000000u];
    }
    return mostCounted(counts);
}

// The strongest contrast any pixel of the area has against the background: the ink of a text
// or symbol. When the item names its colour and that colour is drawn, the named colour counts
// (anti-aliased edges never reach it exactly on thin strokes).
double inkContrast(const QImage& image, const QRect& area, QRgb background, const QColor& named)
{
    const QRect box = area.intersected(image.rect());
    bool namedDrawn = false;
    double best = 1.0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = box.left(); x <= box.right(); ++x) {
            best = std::max(best, contrast(line[x], background));
            namedDrawn = namedDrawn || (named.isValid() && named.alpha() == 255 && near(line[x], named.rgb(), 3));
        }
    }
    return namedDrawn ? contrast(named.rgb(), background) : best;
}

// What lies around an area rather than under it: bold text and filled symbols are mostly their
// own colour. The most common colour of a thin ring just outside the area.
QRgb backgroundAround(const QImage& image, const QRect& area)
{
    const QRect ring = area.adjusted(-3, -3, 3, 3).intersected(image.rect());
    QHash<QRgb, int> counts;
    for (int y = ring.top(); y <= ring.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = ring.left(); x <= ring.right(); ++x) {
            if (!area.contains(x, y))
                ++counts[line[x] | 0xff000000u];
        }
    }
    if (counts.isEmpty())
        return commonColour(image, area);
    return mostCounted(counts);
}

QString hex(QRgb rgb)
{
    return QColor(rgb).name();
}

struct Context
{
    QImage image;
    QSizeF window;
    Cover cover;
    QStringList* problems;
};

void checkText(const QQuickItem* text, const Context& context)
{
    const QRectF seen = visibleRect(text, drawnTextRect(text), context.window);
    const QRect area = seen.toAlignedRect();
    if (area.width() < 4 || area.height() < 4 || isCovered(text, seen, context.cover))
        return;
    const QFont font = text->property("font").value<QFont>();
    const qreal pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 4.0 / 3.0;
    // Large text: 18 pt, or 14 pt bold.
    const bool large = pixels >= 24.0 || (font.bold() && pixels >= 18.66);
    const double needed = large ? 3.0 : 4.5;
    const QRgb background = backgroundAround(context.image, area);
    const double ratio = inkContrast(context.image, area, background, text->property("color").value<QColor>());
    if (ratio < needed)
        context.problems->append(QStringLiteral("%1 reads at %2:1 on %3 (needs %4:1)")
                                     .arg(nameOf(text)).arg(ratio, 0, 'f', 2).arg(hex(background)).arg(needed));
}

void checkSymbol(const QQuickItem* image, const Context& context)
{
    const QRectF seen = visibleRect(image, image->boundingRect(), context.window);
    const QRect area = seen.toAlignedRect();
    if (area.width() < 4 || area.height() < 4 || isCovered(image, seen, context.cover))
        return;
    const QRgb background = backgroundAround(context.image, area);
    const double ratio = inkContrast(context.image, area, background, QColor());
    if (ratio < 3.0)
        context.problems->append(QStringLiteral("symbol %1 reads at %2:1 on %3 (needs 3:1)")
                                     .arg(nameOf(image->parentItem() && image->objectName().isEmpty() ? image->parentItem() : image))
                                     .arg(ratio, 0, 'f', 2)
                                     .arg(hex(background)));
}

void walk(const QQuickItem* item, const Context& context)
{
    // Disabled controls are exempt; they say so by being greyed out. The keyboard draws its
    // keys in its own style.
    if (!item->isVisible() || item->opacity() <= 0.0 || !item->isEnabled()
        || QByteArray(item->metaObject()->className()).startsWith("KeyboardPanel_QMLTYPE"))
        return;
    if (item->inherits("QQuickText") && !item->property("text").toString().trimmed().isEmpty())
        checkText(item, context);
    if (item->inherits("QQuickImage")) {
        const QString source = item->property("source").toUrl().toString();
        if (source.contains(QLatin1String("/Icons/")) || source.startsWith(QLatin1String("image://symbol")))
            checkSymbol(item, context);
    }
    const QList<QQuickItem*> children = item->childItems();
    for (const QQuickItem* child : children)
        walk(child, context);
}

} // namespace

QStringList contrastProblems(QQuickItem* root, const QImage& shot)
{
    QStringList problems;
    if (!root || shot.isNull())
        return problems;
    const QSizeF window = root->window() ? QSizeF(root->window()->size()) : root->size();
    const Context context { shot.convertToFormat(QImage::Format_RGB32), window, coverOf(root), &problems };
    walk(root, context);

    // A dialog's dim darkens the page behind it: a dim lighter than what it lies over washes
    // the page out and makes the screen look broken.
    const QColor dim = context.cover.dim ? context.cover.dim->property("color").value<QColor>() : QColor();
    if (dim.isValid() && dim.alpha() > 0) {
        QRect outside = context.image.rect();
        for (const QRectF& popup : context.cover.popups)
            outside.setBottom(std::min(outside.bottom(), int(popup.top()) - 1));
        const QRgb shown = commonColour(context.image, outside.height() > 8 ? outside : context.image.rect());
        if (luminance(dim.rgb()) > luminance(shown) + 0.01)
            problems << QStringLiteral("the dim behind the dialog (%1) lightens the page to %2").arg(dim.name(QColor::HexArgb), hex(shown));
    }
    return problems;
}
