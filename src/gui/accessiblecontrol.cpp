#include "accessiblecontrol.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QQuickWindow>
#include <qqml.h>

namespace {

// Qt Quick attaches the object behind `Accessible.*` to its item as a child of this class.
QObject* accessibleAttached(const QObject* item)
{
    const QObjectList children = item->children();
    for (QObject* child : children) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    }
    return nullptr;
}

// What Qt Quick's own interface reports of an item, plus the disabled state it leaves out.
class ControlAccessible : public QAccessibleObject, public QAccessibleActionInterface
{
public:
    explicit ControlAccessible(QQuickItem* item)
        : QAccessibleObject(item)
    {
        // Announces the change, so a screen reader does not keep offering a disabled button.
        QObject::connect(item, &QQuickItem::enabledChanged, item, [item]() {
            if (!QAccessible::isActive())
                return;
            QAccessible::State changed;
            changed.disabled = true;
            QAccessibleStateChangeEvent event(item, changed);
            QAccessible::updateAccessibility(&event);
        });
    }

    QQuickItem* item() const { return static_cast<QQuickItem*>(object()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QWindow* window() const override { return item()->window(); }

    QAccessible::Role role() const override
    {
        const QObject* attached = accessibleAttached(item());
        const int role = attached ? attached->property("role").toInt() : 0;
        return role > 0 ? QAccessible::Role(role) : QAccessible::Button;
    }

    QString text(QAccessible::Text kind) const override
    {
        const QObject* attached = accessibleAttached(item());
        if (!attached)
            return QString();
        if (kind == QAccessible::Name)
            return attached->property("name").toString();
        if (kind == QAccessible::Description)
            return attached->property("description").toString();
        return QString();
    }

    QAccessible::State state() const override
    {
        const QQuickItem* at = item();
        const QObject* attached = accessibleAttached(at);
        auto flag = [attached](const char* name) { return attached && attached->property(name).toBool(); };
        QAccessible::State state;
        state.checkable = flag("checkable");
        state.checked = flag("checked");
        state.pressed = flag("pressed");
        state.defaultButton = flag("defaultButton");
        state.invisible = !at->window() || !at->window()->isVisible() || !at->isVisible() || qFuzzyIsNull(at->opacity());
        state.disabled = !at->isEnabled();
        state.focusable = at->activeFocusOnTab() || flag("focusable");
        state.focused = at->hasActiveFocus();
        return state;
    }

    QRect rect() const override
    {
        const QQuickItem* at = item();
        if (!at->window())
            return QRect();
        const QRectF scene = at->mapRectToScene(QRectF(0, 0, at->width(), at->height()));
        return QRect(at->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
    }

    // The nearest enclosing item that speaks to assistive tools, as for Qt Quick's own items;
    // the window at the top.
    QAccessibleInterface* parent() const override
    {
        QQuickWindow* window = item()->window();
        QQuickItem* content = window ? window->contentItem() : nullptr;
        QQuickItem* at = item()->parentItem();
        while (at && at != content && !accessibleAttached(at))
            at = at->parentItem();
        if (!at)
            return nullptr;
        return at == content ? QAccessible::queryAccessibleInterface(window) : QAccessible::queryAccessibleInterface(at);
    }

    // A button's label and icon are its name, not children of their own.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QStringList actionNames() const override
    {
        if (!item()->isEnabled())
            return QStringList();
        const QAccessible::State now = state();
        QStringList names { pressAction() };
        if (now.checkable)
            names << toggleAction();
        if (now.focusable)
            names << setFocusAction();
        return names;
    }

    // Quick Controls' buttons act on their own press method; the display's controls through
    // `Accessible.onPressAction`.
    void doAction(const QString& action) override
    {
        if (!item()->isEnabled() || !actionNames().contains(action))
            return;
        if (action == setFocusAction()) {
            item()->forceActiveFocus(Qt::OtherFocusReason);
            return;
        }
        const bool press = action == pressAction();
        if (QMetaObject::invokeMethod(item(), press ? "accessiblePressAction" : "toggle"))
            return;
        if (QObject* attached = accessibleAttached(item()))
            QMetaObject::invokeMethod(attached, press ? "pressAction" : "toggleAction");
    }

    QStringList keyBindingsForAction(const QString&) const override { return QStringList(); }
};

// Consulted for every class of an object, most derived first, so these names win over Qt
// Quick's interface for any item.
QAccessibleInterface* controlFactory(const QString& className, QObject* object)
{
    if (object && (className == QLatin1String("AccessibleControl") || className == QLatin1String("QQuickAbstractButton")))
        return new ControlAccessible(static_cast<QQuickItem*>(object));
    return nullptr;
}

} // namespace

AccessibleControl::AccessibleControl(QQuickItem* parent)
    : QQuickItem(parent)
{
}

void AccessibleControl::registerType()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    qmlRegisterType<AccessibleControl>("com.orvo.controls", 1, 0, "AccessibleControl");
    QAccessible::installFactory(controlFactory);
}
