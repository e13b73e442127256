#pragma once

#include <QObject>
#include <QVariantMap>

// The central controller: owns every component, decides the screen, serves the program's own
// topics and applies configuration changes. For now it only carries the built-in defaults.
class GUIManager : public QObject
{
    Q_OBJECT
public:
    // The 25 built-in settings handed to the configuration store at start-up.
    static const QVariantMap Defaults;
};
