#include "networkservice.h"

#include <QHostAddress>
#include <QTimer>

namespace {

const char* const addressKeys[] = { "address", "netmask", "gateway", "dns0", "dns1" };

// What the DHCP server of the depot network hands out.
QJsonObject dhcpLease()
{
    return { { QStringLiteral("address"), QStringLiteral("192.168.31.57") },
             { QStringLiteral("netmask"), QStringLiteral("255.255.255.0") },
             { QStringLiteral("gateway"), QStringLiteral("192.168.31.1") },
             { QStringLiteral("dns0"), QStringLiteral("192.168.31.1") },
             { QStringLiteral("dns1"), QStringLiteral("192.168.31.2") } };
}

bool isIpv4(const QString& text)
{
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

NetworkService::NetworkService(manager::MqttClient& client, const QString& base, QObject* parent)
    : SimService(client, base, QStringLiteral("[Network] "), parent)
    , m_statusTimer(new QTimer(this))
{
    for (const char* key : addressKeys)
        m_config.insert(QLatin1String(key), QString());
    m_statusTimer->setInterval(10000);
    connect(m_statusTimer, &QTimer::timeout, this, &NetworkService::publishStatus);
    answerGet(QStringLiteral("/info/get"), QStringLiteral("info sent"), [this] { publishInfo(); });
    answerGet(QStringLiteral("/status/get"), QStringLiteral("status sent"), [this] { publishStatus(); });
    answerGet(QStringLiteral("/ethernet/state/get"), QStringLiteral("Ethernet state sent"), [this] { publishState(); });
    answerGet(QStringLiteral("/ethernet/config/get"), QStringLiteral("Ethernet config sent"), [this] { publishConfig(); });
    m_statusTimer->start();
}

void NetworkService::setStatusInterval(int msec)
{
    m_statusTimer->setInterval(msec);
}

QStringList NetworkService::requestTopics() const
{
    return { topic(QStringLiteral("/info/get")), topic(QStringLiteral("/status/get")),
             topic(QStringLiteral("/ethernet/state/get")), topic(QStringLiteral("/ethernet/config/get")),
             topic(QStringLiteral("/ethernet/config/set")) };
}

void NetworkService::publishAll()
{
    publishInfo();
    publishStatus();
    publishState();
    publishConfig();
}

bool NetworkService::validConfig(const QJsonObject& request, QString* why)
{
    for (const char* key : addressKeys) {
        const QJsonValue value = request.value(QLatin1String(key));
        if (!value.isUndefined() && !value.isNull() && !value.isString()) {
            *why = QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key));
            return false;
        }
    }
    if (!request.value(QStringLiteral("method")).isString()) {
        *why = QStringLiteral("\"method\" must be a string");
        return false;
    }
    if (request.value(QStringLiteral("method")).toString() != QLatin1String("manual"))
        return true;
    for (const char* key : addressKeys) {
        const QString text = request.value(QLatin1String(key)).toString();
        const bool required = qstrcmp(key, "address") == 0 || qstrcmp(key, "netmask") == 0;
        if ((required || !text.isEmpty()) && !isIpv4(text)) {
            *why = QStringLiteral("\"%1\" is not an IPv4 address: '%2'").arg(QLatin1String(key), text.left(40));
            return false;
        }
    }
    return true;
}

void NetworkService::handleRequest(const QString& t, const QByteArray& payload, const QJsonObject& request)
{
    if (t == topic(QStringLiteral("/ethernet/config/set"))) {
        const QString iface = request.value(QStringLiteral("interface")).toString();
        if (!iface.isEmpty() && iface != m_interface) {
            logRefused(t, payload, QStringLiteral("no interface '%1'").arg(iface));
            return;
        }
        QString error;
        if (!validConfig(request, &error)) {
            // The stored configuration is sent back so that the screen drops the rejected edit.
            logRefused(t, payload, error);
            publishConfig();
            return;
        }
        m_method = request.value(QStringLiteral("method")).toString() == QLatin1String("manual")
            ? QStringLiteral("manual")
            : QStringLiteral("auto");
        for (const char* key : addressKeys)
            m_config.insert(QLatin1String(key),
                            m_method == QLatin1String("manual") ? request.value(QLatin1String(key)).toString()
                                                                : QString());
        logRequest(t, payload, m_method == QLatin1String("manual")
                                   ? QStringLiteral("eth0 fixed address %1/%2")
                                         .arg(m_config.value(QStringLiteral("address")).toString(),
                                              m_config.value(QStringLiteral("netmask")).toString())
                                   : QStringLiteral("eth0 automatic address"));
        publishConfig();
        publishState();
        publishStatus();
    }
}

QJsonObject NetworkService::liveIpv4() const
{
    return m_method == QLatin1String("manual") ? m_config : dhcpLease();
}

void NetworkService::publishStatus()
{
    const QJsonObject primary { { QStringLiteral("interface"), m_interface },
                                { QStringLiteral("stateStr"), QStringLiteral("Connected") },
                                { QStringLiteral("typeStr"), QStringLiteral("Ethernet") },
                                { QStringLiteral("ipv4"), liveIpv4() } };
    publish(QStringLiteral("/status"), { { QStringLiteral("stateStr"), QStringLiteral("Connected") },
                                         { QStringLiteral("connectivityStr"), QStringLiteral("Full") },
                                         { QStringLiteral("hostname"), QStringLiteral("validator-0412") },
                                         { QStringLiteral("primaryConnection"), primary } });
}

void NetworkService::publishInfo()
{
    publish(QStringLiteral("/info"),
            { { QStringLiteral("service"), QJsonObject { { QStringLiteral("version"), QStringLiteral("3.0.2") } } } });
}

void NetworkService::publishState()
{
    publish(QStringLiteral("/ethernet/state"), { { QStringLiteral("interface"), m_interface },
                                                 { QStringLiteral("typeStr"), QStringLiteral("Ethernet") },
                                                 { QStringLiteral("stateStr"), QStringLiteral("Connected") },
                                                 { QStringLiteral("reasonStr"), QStringLiteral("None") },
                                                 { QStringLiteral("mac"), QStringLiteral("02:4F:52:56:04:12") },
                                                 { QStringLiteral("ipv4"), liveIpv4() } });
}

void NetworkService::publishConfig()
{
    QJsonObject config = m_config;
    config.insert(QStringLiteral("interface"), m_interface);
    config.insert(QStringLiteral("method"), m_method);
    publish(QStringLiteral("/ethernet/config"), config);
}
