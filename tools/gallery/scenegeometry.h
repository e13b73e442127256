#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QQuickItem;

// Where things are drawn in a settled Qt Quick scene, for the screen checks: what is seen of an
// item, which layer (page or popup) it is on, and what covers it.
namespace scene {

// The item's opacity times its ancestors'.
qreal effectiveOpacity(const QQuickItem* item);

// False when the item or an ancestor is disabled (a greyed-out control).
bool enabledChain(const QQuickItem* item);

// The part of rect (in the item's coordinates) that can be seen: inside every clipping ancestor
// and the window, in scene coordinates. Empty when nothing is.
QRectF visibleRect(const QQuickItem* item, const QRectF& rect, const QSizeF& window);

// The box a Text item's glyphs fill, in its own coordinates (its alignment applied).
QRectF drawnTextRect(const QQuickItem* text);

// The popup item (Quick Controls' QQuickPopupItem) an item is drawn in, or null on the page.
const QQuickItem* layerOf(const QQuickItem* item);

// Whether a is root or lies under it in the visual tree.
bool isWithin(const QQuickItem* a, const QQuickItem* root);

// The shown on-screen keyboard panel (KeyboardPanel.qml) under root, or null.
QQuickItem* shownKeyboard(QQuickItem* root);

// What lies over the page and the popups: the popups shown, whether a modal one dims the page,
// and the keyboard.
struct Cover
{
    QList<QRectF> popups;  // scene rects of the shown popups
    bool dimmed = false;   // a modal popup's dim lies over the whole page
    QQuickItem* dim = nullptr;
    QRectF keyboard;       // scene rect of the shown keyboard, empty when none
};
Cover coverOf(QQuickItem* root);

// Whether something else is drawn over the item's scene rect: the page under a dim or a popup,
// anything but the keyboard's own keys under the keyboard.
bool isCovered(const QQuickItem* item, const QRectF& sceneRect, const Cover& cover);

// objectName, or the text, or the type: a name for a fault message.
QString nameOf(const QQuickItem* item);

} // namespace scene
