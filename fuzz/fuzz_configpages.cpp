// What the configuration pages parse from typed text: the IPv4 fields' pattern (the page's own,
// read from its QML file) and the on-board computer URL, as the
// validator page hands it to the validator proxy and the proxy sends it to the service.
// Every address the pattern accepts is four numbers 0-255 written plainly: the network service
// is sent exactly that text. Input: the typed text.
#include "fuzzsupport.h"
#include "ipv4.h"
#include "mqttclient.h"
#include "validator.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>

#include <cstdlib>

namespace {

// The pattern of AddressField.qml, read from the page itself. JavaScript's and this engine's
// syntax agree on what it uses (anchors, \d, \b, groups); only "$" differs, which in JavaScript
// never matches before a final line break.
const QRegularExpression& addressPattern()
{
    static const QRegularExpression pattern = [] {
        QFile file(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/qml/screens/settings/AddressField.qml"));
        file.open(QIODevice::ReadOnly);
        const QString qml = QString::fromUtf8(file.readAll());
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("readonly property var pattern: /(.*)/\\n")).match(qml);
        if (!match.hasMatch())
            abort();
        QString source = match.captured(1);
        if (source.endsWith(QLatin1Char('$')))
            source.replace(source.size() - 1, 1, QStringLiteral("\\z"));
        return QRegularExpression(source);
    }();
    return pattern;
}

bool plainIPv4(const QString& text)
{
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol
        && address.toString() == text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    if (!addressPattern().isValid())
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    if (addressPattern().match(text).hasMatch() && !plainIPv4(text))
        abort();

    IPv4 ipv4;
    ipv4.fromMap({ { QStringLiteral("address"), text }, { QStringLiteral("netmask"), text } });
    ipv4.toMap();

    manager::MqttClient client;
    manager::Validator validator(client, QStringLiteral("orvo/blm"));
    validator.config()->setObuUrl(QUrl(text));
    validator.saveConfig();
    fuzz::settle();
    return 0;
}
