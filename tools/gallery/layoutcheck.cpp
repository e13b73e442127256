#include "scenegeometry.h"
#include "screencheck.h"

#include <QQuickItem>
#include <QQuickWindow>

using namespace scene;

namespace {

// Two boxes that share more than an edge.
bool overlaps(const QRectF& a, const QRectF& b)
{
    const QRectF both = a.intersected(b);
    return both.width() > 2.0 && both.height() > 2.0;
}

bool isIcon(const QQuickItem* item)
{
    if (!item->inherits("QQuickImage"))
        return false;
    const QString source = item->property("source").toUrl().toString();
    return source.contains(QLatin1String("/Icons/")) || source.startsWith(QLatin1String("image://symbol"));
}

bool takesTaps(const QQuickItem* item)
{
    if (item->inherits("QQuickMouseArea"))
        return item->isEnabled() && item->acceptedMouseButtons() != Qt::NoButton;
    if (item->inherits("QQuickAbstractButton") || item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit"))
        return !item->inherits("QQuickText");
    if (item->inherits("QQuickControl"))
        return item->property("focusPolicy").toInt() != Qt::NoFocus;
    return false;
}

// What a person sees as the control: a mouse area stands for the box it fills.
const QQuickItem* bodyOf(const QQuickItem* target)
{
    const QQuickItem* body = target;
    while (body->parentItem()) {
        const QQuickItem* parent = body->parentItem();
        const QRectF inner = body->mapRectToScene(body->boundingRect());
        const QRectF outer = parent->mapRectToScene(parent->boundingRect());
        if (!outer.adjusted(-1, -1, 1, 1).contains(inner) || outer.width() * outer.height() > 1.3 * inner.width() * inner.height())
            break;
        body = parent;
    }
    return body;
}

struct Shown
{
    const QQuickItem* item;
    const QQuickItem* body;  // the control's box; the item itself for texts and symbols
    QRectF rect;             // scene rect of what is seen
    bool control;
};

QString where(const QRectF& rect)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

void collect(QQuickItem* item, const QSizeF& window, QVector<Shown>* shown)
{
    if (!item->isVisible() || item->opacity() <= 0.0)
        return;
    // The keyboard is one control: its keys lie on its own input area.
    if (QByteArray(item->metaObject()->className()).startsWith("KeyboardPanel_QMLTYPE"))
        return;
    QRectF box;
    bool control = false;
    if (takesTaps(item)) {
        control = true;
        box = item->boundingRect();
    } else if (item->inherits("QQuickText") && !item->property("text").toString().trimmed().isEmpty()) {
        box = drawnTextRect(item);
    } else if (isIcon(item)) {
        box = item->boundingRect();
    }
    if (!box.isEmpty()) {
        const QRectF seen = visibleRect(item, box, window);
        // Areas that catch a tap anywhere on the page are not controls of their own.
        const bool catcher = control && seen.width() * seen.height() > 0.5 * window.width() * window.height();
        if (!seen.isEmpty() && !catcher)
            shown->append({ item, control ? bodyOf(item) : item, seen, control });
    }
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        collect(child, window, shown);
}

} // namespace

QStringList overlapProblems(QQuickItem* root, const QSize& window)
{
    QStringList problems;
    if (!root)
        return problems;
    QVector<Shown> shown;
    collect(root, window, &shown);
    const Cover cover = coverOf(root);
    for (int i = 0; i < shown.size(); ++i) {
        const Shown& a = shown.at(i);
        if (!a.control || isCovered(a.item, a.rect, cover))
            continue;
        for (int j = 0; j < shown.size(); ++j) {
            const Shown& b = shown.at(j);
            // A control's own label, icon or inner button is part of it.
            if (i == j || (b.control && j < i) || layerOf(a.item) != layerOf(b.item) || isWithin(b.item, a.body)
                || isWithin(a.item, b.body) || !overlaps(a.rect, b.rect) || isCovered(b.item, b.rect, cover))
                continue;
            problems << QStringLiteral("%1 %2 lies over %3 %4")
                            .arg(nameOf(b.body), where(b.rect), nameOf(a.body), where(a.body->mapRectToScene(a.body->boundingRect())));
        }
    }
    return problems;
}

namespace {

// The rows a scrolling view holds: the content's children, or, while the content is one item
// taller than the view (a column, a group box), the rows inside that item.
QList<QQuickItem*> rowsOf(QQuickItem* flickable)
{
    QQuickItem* content = flickable->property("contentItem").value<QQuickItem*>();
    if (!content)
        return {};
    QList<QQuickItem*> rows;
    QList<QQuickItem*> children = content->childItems();
    for (int depth = 0; depth < 8; ++depth) {
        rows.clear();
        for (QQuickItem* child : qAsConst(children)) {
            if (child->isVisible() && child->height() > 0)
                rows << child;
        }
        QQuickItem* only = rows.size() == 1 ? rows.first() : nullptr;
        if (!only || only->height() <= flickable->height() || only->inherits("QQuickFlickable"))
            break;
        // A control (a group box) holds its rows in its content item, beside its frame.
        QQuickItem* inner = only->property("contentItem").value<QQuickItem*>();
        children = inner && inner != only ? inner->childItems() : only->childItems();
    }
    return rows;
}

// Whether the view scrolls up and down: flicked vertically by choice, or by default (Auto:
// whichever way the content is larger; AutoIfNeeded: the same).
bool scrollsVertically(const QQuickItem* item)
{
    if (!item->inherits("QQuickFlickable") || item->property("contentHeight").toReal() <= item->height() + 1)
        return false;
    const int direction = item->property("flickableDirection").toInt();
    const int autoFlick = 0x0, autoFlickIfNeeded = 0xc, verticalFlick = 0x2;
    return direction == autoFlick || direction == autoFlickIfNeeded || (direction & verticalFlick);
}

bool scrollCueShown(QQuickItem* item, const QRectF& view)
{
    if (!item->isVisible() || item->opacity() <= 0.0)
        return false;
    if ((item->inherits("QQuickScrollBar") || item->inherits("QQuickScrollIndicator")) && effectiveOpacity(item) > 0.0
        && item->property("size").toReal() < 1.0 && item->mapRectToScene(item->boundingRect()).intersects(view))
        return true;
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children) {
        if (scrollCueShown(child, view))
            return true;
    }
    return false;
}

void checkScrolling(QQuickItem* root, QQuickItem* item, const QSizeF& window, QStringList* problems)
{
    if (!item->isVisible() || item->opacity() <= 0.0)
        return;
    if (scrollsVertically(item)) {
        const QRectF view = visibleRect(item, item->boundingRect(), window);
        for (QQuickItem* row : rowsOf(item)) {
            const QRectF box = row->mapRectToScene(row->boundingRect());
            const bool cut = (box.top() < view.top() - 1 && box.bottom() > view.top() + 1)
                          || (box.top() < view.bottom() - 1 && box.bottom() > view.bottom() + 1);
            if (cut && !view.isEmpty() && !scrollCueShown(item->parentItem() ? item->parentItem() : root, view)) {
                problems->append(QStringLiteral("%1 cuts its row %2 with no sign that it scrolls")
                                     .arg(nameOf(item), nameOf(row)));
                break;
            }
        }
    }
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        checkScrolling(root, child, window, problems);
}

bool isTextField(const QQuickItem* item)
{
    return item && (item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit")) && item->isVisible()
        && !item->property("readOnly").toBool() && (item->flags() & QQuickItem::ItemAcceptsInputMethod);
}

int countKeyboards(QQuickItem* item)
{
    int count = QByteArray(item->metaObject()->className()).startsWith("KeyboardPanel_QMLTYPE") ? 1 : 0;
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        count += countKeyboards(child);
    return count;
}

} // namespace

QStringList scrollProblems(QQuickItem* root, const QSize& window)
{
    QStringList problems;
    if (root)
        checkScrolling(root, root, window, &problems);
    return problems;
}

QStringList keyboardProblems(QQuickItem* root, const QSize& window)
{
    QStringList problems;
    if (!root)
        return problems;
    const int panels = countKeyboards(root);
    if (panels > 1)
        problems << QStringLiteral("%1 keyboard panels in the window").arg(panels);
    QQuickItem* keyboard = shownKeyboard(root);
    QQuickItem* focused = root->window() ? root->window()->activeFocusItem() : nullptr;
    const bool typing = isTextField(focused) && effectiveOpacity(focused) > 0.0;
    if (!keyboard) {
        if (typing)
            problems << QStringLiteral("no keyboard for the focused field %1").arg(nameOf(focused));
        return problems;
    }
    if (!typing)
        problems << QStringLiteral("the keyboard is up with no text field focused");
    const QRectF box = keyboard->mapRectToScene(keyboard->boundingRect());
    if (qAbs(box.bottom() - window.height()) > 1.0 || qAbs(box.height() - 250.0) > 1.0)
        problems << QStringLiteral("the keyboard panel is at y %1 to %2, not the window's bottom 250 px")
                        .arg(box.top()).arg(box.bottom());
    // The keys fill the panel: a keyboard drawn smaller leaves a gap and small keys.
    if (QQuickItem* keys = keyboard->property("panel").value<QQuickItem*>()) {
        const QRectF drawn = keys->mapRectToScene(QRectF(0, 0, keys->width(), keys->height())).intersected(box);
        if (drawn.height() < box.height() - 2.0)
            problems << QStringLiteral("the keyboard fills %1 of its %2 px").arg(drawn.height()).arg(box.height());
    }
    if (typing) {
        // The field's own box: a text input's bounding rectangle is only its text, empty
        // (0 px wide) while nothing is typed.
        const QRectF field = visibleRect(focused, QRectF(0, 0, focused->width(), focused->height()), window);
        if (field.isEmpty() || field.intersects(box.adjusted(0, 1, 0, 0)))
            problems << QStringLiteral("the keyboard covers the focused field %1").arg(nameOf(focused));
    }
    return problems;
}
