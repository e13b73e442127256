#include "maintenancebarcode.h"

#include "payloadreader.h"

namespace manager {

QUrl MaintenanceBarcode::obcUrl() const
{
    if (obc.isEmpty())
        return QUrl();
    return QUrl(obc, QUrl::TolerantMode);
}

MaintenanceBarcode MaintenanceBarcode::fromJson(const QJsonObject& data, QStringList* wrongKeys)
{
    const PayloadReader reader(data);
    MaintenanceBarcode barcode;
    barcode.hasValidator = reader.contains(QStringLiteral("validator"));
    barcode.obc = reader.object(QStringLiteral("validator")).text(QStringLiteral("obc"), QString());
    const PayloadReader network = reader.object(QStringLiteral("network"));
    barcode.hasEthernet = network.isUsable() && network.contains(QStringLiteral("eth0"));
    const PayloadReader eth0 = network.object(QStringLiteral("eth0"));
    barcode.method = eth0.text(QStringLiteral("method"), QString());
    barcode.address = eth0.text(QStringLiteral("address"), QString());
    barcode.netmask = eth0.text(QStringLiteral("netmask"), QString());
    barcode.gateway = eth0.text(QStringLiteral("gateway"), QString());
    barcode.dns0 = eth0.text(QStringLiteral("dns0"), QString());
    barcode.dns1 = eth0.text(QStringLiteral("dns1"), QString());
    if (wrongKeys)
        *wrongKeys = reader.wrongKeys();
    return barcode;
}

} // namespace manager
