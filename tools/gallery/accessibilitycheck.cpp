#include "screencheck.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

// Roles that only group others; they need no name of their own.
bool isContainer(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::NoRole:
    case QAccessible::Client:
    case QAccessible::Window:
    case QAccessible::Pane:
    case QAccessible::Grouping:
    case QAccessible::LayeredPane:
    case QAccessible::Dialog:
    case QAccessible::Border:
        return true;
    default:
        return false;
    }
}

struct Node
{
    QAccessible::Role role;
    QString name;
    QObject* object;
    bool disabled;
};

void collect(QAccessibleInterface* iface, QVector<Node>* nodes, int depth = 0)
{
    if (!iface || depth > 64 || iface->state().invisible)
        return;
    nodes->append({ iface->role(), iface->text(QAccessible::Name), iface->object(), bool(iface->state().disabled) });
    for (int i = 0; i < iface->childCount(); ++i)
        collect(iface->child(i), nodes, depth + 1);
}

// Controls a person presses, as opposed to fields, lists and texts.
bool isPressable(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::PageTab:
    case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

// Items a person presses (mouse areas that take buttons) and texts a person reads. Qt's
// on-screen keyboard draws its keys in its own style and speaks for itself, if at all.
void touchTargetsAndTexts(QQuickItem* item, QList<QQuickItem*>* targets, QList<QQuickItem*>* texts)
{
    if (!item->isVisible() || item->opacity() <= 0.0
        || QByteArray(item->metaObject()->className()).startsWith("KeyboardPanel_QMLTYPE"))
        return;
    if (item->inherits("QQuickMouseArea") && item->isEnabled() && item->acceptedMouseButtons() != Qt::NoButton)
        targets->append(item);
    if (item->inherits("QQuickText") && !item->property("text").toString().trimmed().isEmpty())
        texts->append(item);
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        touchTargetsAndTexts(child, targets, texts);
}

// The accessible object that speaks for item: itself or its nearest ancestor with a role that
// is not a mere container.
QAccessibleInterface* speakerFor(QQuickItem* item)
{
    for (QQuickItem* at = item; at; at = at->parentItem()) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(at);
        if (iface && !isContainer(iface->role()))
            return iface;
    }
    return nullptr;
}

QString objectNameOf(const QObject* object)
{
    return object ? object->objectName() : QString();
}

} // namespace

QStringList accessibilityProblems(QQuickWindow* window, QQuickItem* screen)
{
    QStringList faults;
    if (!window)
        return faults;
    QVector<Node> nodes;
    collect(QAccessible::queryAccessibleInterface(window), &nodes);
    int namedOnScreen = 0;
    for (const Node& node : qAsConst(nodes)) {
        if (isContainer(node.role))
            continue;
        if (node.name.trimmed().isEmpty()) {
            faults << QStringLiteral("role %1 (%2) has no accessible name").arg(node.role).arg(objectNameOf(node.object));
        } else {
            auto* item = qobject_cast<QQuickItem*>(node.object);
            namedOnScreen += item && screen && screen->isAncestorOf(item) ? 1 : 0;
        }
        // A screen reader would offer a button that does nothing when pressed.
        const auto* item = qobject_cast<QQuickItem*>(node.object);
        if (item && isPressable(node.role) && !item->isEnabled() && !node.disabled)
            faults << QStringLiteral("%1 (%2) is disabled but reported enabled to assistive tools")
                          .arg(node.name, objectNameOf(node.object));
    }

    QList<QQuickItem*> targets;
    QList<QQuickItem*> texts;
    touchTargetsAndTexts(window->contentItem(), &targets, &texts);
    for (QQuickItem* target : qAsConst(targets)) {
        // The message box closes on a tap anywhere in it through an unnamed area; its text and
        // its Yes and No buttons are named.
        if (target->parentItem() && target->parentItem()->objectName() == QLatin1String("popupBox"))
            continue;
        QAccessibleInterface* speaker = speakerFor(target);
        if (!speaker || speaker->text(QAccessible::Name).trimmed().isEmpty() || !speaker->actionInterface())
            faults << QStringLiteral("touch target under %1 has no named, pressable accessible object")
                          .arg(objectNameOf(target->parentItem()));
    }
    for (QQuickItem* text : qAsConst(texts)) {
        QAccessibleInterface* speaker = speakerFor(text);
        if (!speaker || speaker->text(QAccessible::Name).trimmed().isEmpty())
            faults << QStringLiteral("text \"%1\" is not exposed to assistive tools").arg(text->property("text").toString());
    }
    if (screen && namedOnScreen == 0)
        faults << QStringLiteral("nothing on the screen %1 is exposed to assistive tools").arg(screen->objectName());
    return faults;
}
