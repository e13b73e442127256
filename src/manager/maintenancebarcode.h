#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QUrl>

namespace manager {

// A maintenance configuration barcode as the validator proxy reads it: the on-board computer's
// address for the validation service and the wired interface's settings. The GUI manager applies
// it during a maintenance session. A member the barcode does not carry, or carries with the
// wrong JSON type, reads empty.
struct MaintenanceBarcode
{
    // "validator" present: the barcode means to set the on-board computer's address.
    bool hasValidator = false;
    QString obc;                 // "validator"."obc" as scanned
    // "network"."eth0" present: the barcode means to set the wired interface.
    bool hasEthernet = false;
    QString method;              // "manual" for fixed addressing; anything else is automatic
    QString address;
    QString netmask;
    QString gateway;
    QString dns0;
    QString dns1;

    bool isManual() const { return method == QLatin1String("manual"); }
    // The scanned address read tolerantly; invalid when empty or not a URL.
    QUrl obcUrl() const;

    // wrongKeys, when given, gets the dotted paths of members that had the wrong JSON type.
    static MaintenanceBarcode fromJson(const QJsonObject& data, QStringList* wrongKeys = nullptr);
};

} // namespace manager

Q_DECLARE_METATYPE(manager::MaintenanceBarcode)
