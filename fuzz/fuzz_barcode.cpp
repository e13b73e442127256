// A maintenance configuration barcode scanned during a session, from the validator's topic to
// what is applied: whatever it says, an on-board computer address that is taken is an "mqtt"
// URL with a host, and fixed addressing that is taken holds IPv4 addresses only.
// Input: the barcode's JSON.
#include "ethernet.h"
#include "ipv4.h"
#include "services.h"

#include <QHostAddress>

#include <cstdlib>

namespace {

bool isIPv4OrEmpty(const QString& text)
{
    QHostAddress address;
    return text.isEmpty() || (address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray payload = fuzz::bytes(data, size);
    {
        fuzz::Services services;
        const fuzz::MaintenanceSession maintenance(services);
        services.dispatch(R"({"interface":"eth0","method":"auto"})", QStringLiteral("orvo/network/ethernet/state"));
        const QUrl before = services.validator.config()->obuUrl();
        services.dispatch(payload, QStringLiteral("orvo/blm/barcode/maintenance/scanned"));

        const QUrl url = services.validator.config()->obuUrl();
        if (url != before && (url.scheme() != QLatin1String("mqtt") || url.host().isEmpty()))
            abort();
        const IPv4* ipv4 = services.network.ethernet()->config();
        for (const QString& value : { ipv4->address(), ipv4->mask(), ipv4->gateway(), ipv4->dns0(), ipv4->dns1() }) {
            if (!isIPv4OrEmpty(value))
                abort();
        }
    }
    fuzz::settle();
    return 0;
}
