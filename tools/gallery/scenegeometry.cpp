#include "scenegeometry.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace scene {

qreal effectiveOpacity(const QQuickItem* item)
{
    qreal opacity = 1.0;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

bool enabledChain(const QQuickItem* item)
{
    for (; item; item = item->parentItem()) {
        if (!item->isEnabled())
            return false;
    }
    return true;
}

QRectF visibleRect(const QQuickItem* item, const QRectF& rect, const QSizeF& window)
{
    QRectF seen = item->mapRectToScene(rect).intersected(QRectF(QPointF(0, 0), window));
    for (const QQuickItem* parent = item->parentItem(); parent && !seen.isEmpty(); parent = parent->parentItem()) {
        if (parent->clip())
            seen = seen.intersected(parent->mapRectToScene(parent->boundingRect()));
    }
    return seen;
}

QRectF drawnTextRect(const QQuickItem* text)
{
    const qreal width = text->width();
    const qreal height = text->height();
    const qreal contentWidth = text->property("contentWidth").toReal();
    const qreal contentHeight = text->property("contentHeight").toReal();
    const int hAlign = text->property("effectiveHorizontalAlignment").isValid()
        ? text->property("effectiveHorizontalAlignment").toInt()
        : text->property("horizontalAlignment").toInt();
    const int vAlign = text->property("verticalAlignment").toInt();
    qreal x = 0;
    if (hAlign & Qt::AlignRight)
        x = width - contentWidth;
    else if (hAlign & Qt::AlignHCenter)
        x = (width - contentWidth) / 2;
    qreal y = 0;
    if (vAlign & Qt::AlignBottom)
        y = height - contentHeight;
    else if (vAlign & Qt::AlignVCenter)
        y = (height - contentHeight) / 2;
    return QRectF(x, y, contentWidth, contentHeight);
}

const QQuickItem* layerOf(const QQuickItem* item)
{
    for (; item; item = item->parentItem()) {
        if (item->inherits("QQuickPopupItem"))
            return item;
    }
    return nullptr;
}

bool isWithin(const QQuickItem* a, const QQuickItem* root)
{
    for (; a; a = a->parentItem()) {
        if (a == root)
            return true;
    }
    return false;
}

namespace {

bool isKeyboardPanel(const QQuickItem* item)
{
    // QML types carry their file name in the class name ("KeyboardPanel_QMLTYPE_12").
    return QByteArray(item->metaObject()->className()).startsWith("KeyboardPanel_QMLTYPE");
}

QQuickItem* findKeyboard(QQuickItem* item)
{
    if (!item->isVisible())
        return nullptr;
    if (isKeyboardPanel(item))
        return item->property("shown").toBool() ? item : nullptr;
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = findKeyboard(child))
            return found;
    }
    return nullptr;
}

void collectCover(QQuickItem* item, const QSizeF& window, Cover* cover)
{
    if (!item->isVisible())
        return;
    if (item->inherits("QQuickOverlay")) {
        const QList<QQuickItem*> children = item->childItems();
        for (QQuickItem* child : children) {
            if (!child->isVisible() || effectiveOpacity(child) <= 0.0)
                continue;
            if (child->inherits("QQuickPopupItem"))
                cover->popups << child->mapRectToScene(child->boundingRect());
            else if (child->width() >= window.width() && child->height() >= window.height()) {
                cover->dimmed = true;   // a modal popup's dim
                cover->dim = child;
            }
        }
        return;
    }
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        collectCover(child, window, cover);
}

} // namespace

QQuickItem* shownKeyboard(QQuickItem* root)
{
    return root ? findKeyboard(root) : nullptr;
}

Cover coverOf(QQuickItem* root)
{
    Cover cover;
    if (!root)
        return cover;
    const QSizeF window = root->window() ? QSizeF(root->window()->size()) : root->size();
    collectCover(root, window, &cover);
    if (QQuickItem* keyboard = shownKeyboard(root))
        cover.keyboard = visibleRect(keyboard, keyboard->boundingRect(), window);
    return cover;
}

bool isCovered(const QQuickItem* item, const QRectF& sceneRect, const Cover& cover)
{
    if (!cover.keyboard.isEmpty() && sceneRect.intersects(cover.keyboard)) {
        bool key = false;
        for (const QQuickItem* at = item; at && !key; at = at->parentItem())
            key = isKeyboardPanel(at);
        if (!key)
            return true;
    }
    if (layerOf(item))
        return false;
    if (cover.dimmed)
        return true;
    for (const QRectF& popup : cover.popups) {
        if (popup.intersects(sceneRect))
            return true;
    }
    return false;
}

QString nameOf(const QQuickItem* item)
{
    if (!item->objectName().isEmpty())
        return item->objectName();
    const QString text = item->property("text").toString().simplified();
    if (!text.isEmpty())
        return QLatin1Char('"') + text.left(40) + QLatin1Char('"');
    QString type = QString::fromLatin1(item->metaObject()->className());
    return type.left(type.indexOf(QLatin1String("_QML")));
}

} // namespace scene
