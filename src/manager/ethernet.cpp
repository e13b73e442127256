#include "ethernet.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

namespace manager {

namespace {
const QString StateTopic = QStringLiteral("/state");
const QString ConfigTopic = QStringLiteral("/config");
const QString InterfaceKey = QStringLiteral("interface");
// The USB gadget link to a service laptop is not the validator's wired interface.
const QString IgnoredInterface = QStringLiteral("usb0");
const QStringList AddressKeys{QStringLiteral("address"), QStringLiteral("netmask"), QStringLiteral("gateway"),
                              QStringLiteral("dns0"), QStringLiteral("dns1")};

// A map for a log line, bounded in length.
QString describe(const QVariantMap& map)
{
    QString text;
    QDebug(&text).noquote().nospace() << map;
    return PayloadReader::brief(text);
}
} // namespace

Ethernet::Ethernet(MqttClient& client, const QString& topic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_topic(topic)
{
    connect(&m_client, &MqttClient::connected, this, &Ethernet::reset);
    qInfo().noquote().nospace() << "[Network][Ethernet] " << "Subscribing to topics";
    const QString tag = QStringLiteral("[Network][Ethernet] ");
    routeJson(m_client, m_topic + StateTopic, this, &Ethernet::handleState, tag);
    routeJson(m_client, m_topic + ConfigTopic, this, &Ethernet::handleConfig, tag);
}

void Ethernet::setMethod(const QString& method)
{
    if (method == m_method)
        return;
    qInfo().noquote().nospace() << "[Network][Ethernet] " << "Method changed : " << method;
    m_method = method;
    emit methodChanged();
}

void Ethernet::save()
{
    const auto log = [](const QString& line) {
        qInfo().noquote().nospace() << "[Network][Ethernet] " << line;
    };
    log(QStringLiteral("Saving configuration"));
    log(QStringLiteral("-------------------------"));
    log(QStringLiteral("Method  : ") + m_method);
    log(QStringLiteral("Address : ") + m_config.address());
    log(QStringLiteral("Netmask : ") + m_config.mask());
    log(QStringLiteral("Gateway : ") + m_config.gateway());
    log(QStringLiteral("DNS     : ") + m_config.dns0() + QStringLiteral(", ") + m_config.dns1());
    log(QStringLiteral("-------------------------"));

    // Only a manual configuration carries addresses; any other method lets the service pick
    // them, and stale manual values must not travel with it.
    const bool manual = m_method == QLatin1String("manual");
    QJsonObject payload{{InterfaceKey, m_interface}, {QStringLiteral("method"), m_method}};
    const QVariantMap config = m_config.toMap();
    for (const QString& key : AddressKeys)
        payload.insert(key, manual ? config.value(key).toString() : QString());
    m_client.publish(QJsonDocument(payload).toJson(QJsonDocument::Indented), m_topic + QStringLiteral("/config/set"),
                     0, false);
}

void Ethernet::reset()
{
    qInfo().noquote().nospace() << "[Network][Ethernet] " << "Refreshing data";
    m_client.publish(QByteArrayLiteral("{}"), m_topic + QStringLiteral("/state/get"), 0, false);
    m_client.publish(QByteArrayLiteral("{}"), m_topic + QStringLiteral("/config/get"), 0, false);
}

void Ethernet::updateText(QString& stored, const QString& value, const char* label, void (Ethernet::*signal)())
{
    if (value == stored)
        return;
    if (label)
        qInfo().noquote().nospace() << "[Network][Ethernet] " << label << PayloadReader::brief(value);
    stored = value;
    emit(this->*signal)();
}

void Ethernet::handleState(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Network][Ethernet] " << "Processing state topic " << topic;
    const PayloadReader reader(payload);
    const QString interface = reader.text(InterfaceKey, m_interface);
    if (payload.value(InterfaceKey).toString() == IgnoredInterface)
        return;
    updateText(m_interface, interface, "Interface changed : ", &Ethernet::interfaceChanged);
    updateText(m_type, reader.text(QStringLiteral("typeStr"), m_type), "Type changed : ", &Ethernet::typeChanged);
    updateText(m_state, reader.text(QStringLiteral("stateStr"), m_state), nullptr, &Ethernet::stateChanged);
    updateText(m_reason, reader.text(QStringLiteral("reasonStr"), m_reason), "Reason changed : ",
               &Ethernet::reasonChanged);
    updateText(m_mac, reader.text(QStringLiteral("mac"), m_mac), "MAC changed : ", &Ethernet::macChanged);

    const QVariantMap ipv4 = reader.object(QStringLiteral("ipv4")).textMap(AddressKeys, m_ipv4.toMap());
    if (ipv4 != m_ipv4.toMap()) {
        qInfo().noquote().nospace() << "[Network][Ethernet] " << "IPv4 changed : " << describe(ipv4);
        m_ipv4.fromMap(ipv4);
        emit ipv4Changed();
    }
    reader.reportWrongKeys(QStringLiteral("[Network][Ethernet] "), topic);
}

void Ethernet::handleConfig(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Network][Ethernet] " << "Processing config topic " << topic;
    if (payload.value(InterfaceKey).toString() == IgnoredInterface)
        return;
    const PayloadReader reader(payload);
    const QString method = reader.text(QStringLiteral("method"), m_method);
    if (method != m_method) {
        qInfo().noquote().nospace() << "[Network][Ethernet] " << "Method changed : " << PayloadReader::brief(method);
        m_method = method;
        emit methodChanged();
    }
    const QVariantMap config = reader.textMap(AddressKeys, m_config.toMap());
    if (config != m_config.toMap()) {
        qInfo().noquote().nospace() << "[Network][Ethernet] " << "IPv4 changed : " << describe(config);
        m_config.fromMap(config);
        emit configChanged();
    }
    reader.reportWrongKeys(QStringLiteral("[Network][Ethernet] "), topic);
}

} // namespace manager
