#include "network.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
#include <QJsonObject>

namespace manager {

namespace {
const QString InfoTopic = QStringLiteral("/info");
const QString StatusTopic = QStringLiteral("/status");
} // namespace

Network::Network(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_baseTopic(baseTopic)
{
    m_ethernet = new Ethernet(m_client, m_baseTopic + QStringLiteral("/ethernet"), this);
    connect(&m_client, &MqttClient::connected, this, &Network::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Network::refresh);
    qInfo().noquote().nospace() << "[Network] " << "Subscribing to topics";
    // The Ethernet topics lie under this base too; they are the Ethernet object's routes, so a
    // bad Ethernet message is reported once, by it.
    const QString tag = QStringLiteral("[Network] ");
    routeJson(m_client, m_baseTopic + InfoTopic, this, &Network::handleInfo, tag);
    routeJson(m_client, m_baseTopic + StatusTopic, this, &Network::handleStatus, tag);
}

void Network::refresh()
{
    // The service publishes its state by itself; there is nothing to ask for.
    qInfo().noquote().nospace() << "[Network] " << "Refreshing data";
}

void Network::monitor(int msec)
{
    if (msec <= 0) {
        m_timer.stop();
        qInfo().noquote().nospace() << "[Network] " << "Monitor stopped";
        return;
    }
    m_timer.setInterval(msec);
    m_timer.setSingleShot(false);
    m_timer.start();
    qInfo().noquote().nospace() << "[Network] " << "Monitor started : " << msec << " msec(s)";
    refresh();
}

void Network::handleInfo(const QJsonObject& /*payload*/, const QString& topic)
{
    qInfo().noquote().nospace() << "[Network] " << "Processing info topic " << topic;
}

void Network::handleStatus(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Network] " << "Processing status topic " << topic;
    const PayloadReader reader(payload);

    const QString state = reader.text(QStringLiteral("stateStr"), m_connectionState);
    if (state != m_connectionState) {
        m_connectionState = state;
        emit connectionStateChanged();
    }
    const QString connectivity = reader.text(QStringLiteral("connectivityStr"), m_connectivity);
    if (connectivity != m_connectivity) {
        m_connectivity = connectivity;
        emit connectivityChanged();
    }
    const QString hostname = reader.text(QStringLiteral("hostname"), m_hostname);
    if (hostname != m_hostname) {
        m_hostname = hostname;
        emit hostnameChanged();
    }

    const PayloadReader primary = reader.object(QStringLiteral("primaryConnection"));
    if (primary.isUsable()) {
        QVariantMap map = primary.json().toVariantMap();
        map.insert(QStringLiteral("interface"), primary.text(QStringLiteral("interface"), m_primaryConnection.interface()));
        map.insert(QStringLiteral("stateStr"), primary.text(QStringLiteral("stateStr"), m_primaryConnection.state()));
        map.insert(QStringLiteral("typeStr"), primary.text(QStringLiteral("typeStr"), m_primaryConnection.type()));
        const QStringList addressKeys{QStringLiteral("address"), QStringLiteral("netmask"), QStringLiteral("gateway"),
                                      QStringLiteral("dns0"), QStringLiteral("dns1")};
        map.insert(QStringLiteral("ipv4"), primary.object(QStringLiteral("ipv4"))
                                                   .textMap(addressKeys, m_primaryConnection.ipv4()->toMap()));
        m_primaryConnection.fromMap(map);
    }
    reader.reportWrongKeys(QStringLiteral("[Network] "), topic);
    emit primaryConnectionChanged();
}

} // namespace manager
