#pragma once

#include <QPointF>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QtTest>

// Works the program's window the way a technician does: finds a control by its objectName
// among the items that are on screen and taps it at its centre with synthesized mouse events.
class Technician
{
public:
    explicit Technician(QQuickWindow* window) : m_window(window) {}

    // The visible item with this objectName (popups included), or null.
    QQuickItem* find(const QString& name) const;
    // Waits up to ms until the item is visible, enabled and no page transition is running.
    QQuickItem* waitFor(const QString& name, int ms = 5000) const;
    // Taps the item's centre; false when it did not show up in time.
    bool tap(const QString& name, int ms = 5000);
    void tapAt(const QPointF& scenePos);
    // Presses, holds and releases at the item's centre.
    bool hold(const QString& name, int holdMs);
    // A string property of a visible item ("" when not found).
    QString text(const QString& name, const char* property = "text") const;

private:
    QQuickWindow* m_window;
};

namespace technician_detail {

inline bool onScreen(const QQuickItem* item)
{
    for (const QQuickItem* i = item; i; i = i->parentItem()) {
        if (!i->isVisible() || i->opacity() <= 0.0)
            return false;
    }
    return true;
}

inline QQuickItem* search(QQuickItem* item, const QString& name)
{
    if (!item || !item->isVisible())
        return nullptr;
    if (item->objectName() == name)
        return item;
    // A popup is no item: it hangs off the item that declares it, and shows its content item
    // (in the window's overlay) from the moment it opens until it has faded out.
    for (QObject* child : item->children()) {
        if (child->objectName() == name && !qobject_cast<QQuickItem*>(child) && child->property("visible").toBool())
            return qvariant_cast<QQuickItem*>(child->property("contentItem"));
    }
    const QList<QQuickItem*> children = item->childItems();
    // Later children are drawn on top: popups and pushed pages win over what they cover.
    for (int i = children.size() - 1; i >= 0; --i) {
        if (QQuickItem* found = search(children.at(i), name))
            return found;
    }
    return nullptr;
}

inline bool transitionRunning(QQuickItem* root)
{
    // A StackView that is busy moves its pages; a tap now would land on a moving target.
    if (root->property("busy").toBool())
        return true;
    const QList<QQuickItem*> children = root->childItems();
    for (QQuickItem* child : children) {
        if (child->isVisible() && transitionRunning(child))
            return true;
    }
    return false;
}

// A popup's content has finished its opening transition (full opacity, full size).
inline bool settled(const QQuickItem* item)
{
    for (const QQuickItem* i = item; i; i = i->parentItem()) {
        if (i->inherits("QQuickPopupItem"))
            return qFuzzyCompare(i->opacity(), 1.0) && qFuzzyCompare(i->scale(), 1.0);
    }
    return true;
}

// While a popup is up or fading out, the window's overlay takes every tap outside it.
inline bool overlayInTheWay(QQuickWindow* window, QQuickItem* target)
{
    for (QQuickItem* child : window->contentItem()->childItems()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickOverlay") != 0 || !child->isVisible())
            continue;
        for (QQuickItem* i = target; i; i = i->parentItem()) {
            if (i == child)
                return false;
        }
        return true;
    }
    return false;
}

} // namespace technician_detail

inline QQuickItem* Technician::find(const QString& name) const
{
    QQuickItem* item = technician_detail::search(m_window->contentItem(), name);
    return item && technician_detail::onScreen(item) ? item : nullptr;
}

inline QQuickItem* Technician::waitFor(const QString& name, int ms) const
{
    QQuickItem* item = nullptr;
    const bool ready = QTest::qWaitFor(
        [&] {
            item = find(name);
            return item && item->isEnabled() && !technician_detail::transitionRunning(m_window->contentItem())
                && !technician_detail::overlayInTheWay(m_window, item);
        },
        ms);
    if (!ready) {
        qWarning().noquote() << "not ready on screen:" << name << (item ? "(found" : "(not found")
                             << (item && !item->isEnabled() ? "disabled" : "")
                             << (technician_detail::transitionRunning(m_window->contentItem()) ? "moving" : "")
                             << (item && technician_detail::overlayInTheWay(m_window, item) ? "covered)" : ")");
    }
    return ready ? item : nullptr;
}

inline bool Technician::tap(const QString& name, int ms)
{
    QQuickItem* item = waitFor(name, ms);
    if (!item)
        return false;
    // Popups fade and grow in: until the opening has settled, a tap may land outside.
    if (!QTest::qWaitFor([item] { return technician_detail::settled(item); }, ms))
        return false;
    tapAt(item->mapToScene(QPointF(item->width() / 2, item->height() / 2)));
    return true;
}

inline void Technician::tapAt(const QPointF& scenePos)
{
    const QPoint pos = scenePos.toPoint();
    QTest::mousePress(m_window, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(m_window, Qt::LeftButton, Qt::NoModifier, pos, 30);
    QTest::qWait(30);
}

inline bool Technician::hold(const QString& name, int holdMs)
{
    QQuickItem* item = waitFor(name);
    if (!item)
        return false;
    const QPoint pos = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mousePress(m_window, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::qWait(holdMs);
    QTest::mouseRelease(m_window, Qt::LeftButton, Qt::NoModifier, pos);
    return true;
}

inline QString Technician::text(const QString& name, const char* property) const
{
    const QQuickItem* item = find(name);
    return item ? item->property(property).toString() : QString();
}
