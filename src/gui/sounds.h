#pragma once

#include <QObject>
#include <QString>

// The result sounds the package installs for the inspector service to play. Every part that
// asks for a sound (the screens, the maintenance pages, an applied barcode) takes its path
// here; QML reads it as the `Sounds` singleton.
class Sounds : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString valid READ valid CONSTANT)
    Q_PROPERTY(QString invalid READ invalid CONSTANT)
public:
    using QObject::QObject;

    static QString directory() { return QStringLiteral("/opt/orvo/vovadudozad"); }
    static QString valid() { return directory() + QStringLiteral("/Valid.wav"); }
    static QString invalid() { return directory() + QStringLiteral("/Invalid.wav"); }
};
