#pragma once

#include <QQuickItem>

// The root of the display's own pressable controls (CustomButton). Qt Quick reports every item
// to assistive tools as enabled, whatever its `enabled`; a control built on this item, like any
// Quick Controls button, reports a disabled control as disabled (and announces the change), so
// a screen reader does not offer the LOGIN button before a PIN is typed. Name, role and
// description come from the control's `Accessible` properties; the press action is offered only
// while the control is enabled.
class AccessibleControl : public QQuickItem
{
    Q_OBJECT

public:
    explicit AccessibleControl(QQuickItem* parent = nullptr);

    // Registers the QML type (com.orvo.controls 1.0, "AccessibleControl") and the accessible
    // interface behind it; once per process, before any QML is loaded.
    static void registerType();
};
