#pragma once

#include "connection.h"
#include "ethernet.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace manager {

class MqttClient;

// Mirrors the network manager service: overall state, connectivity, host name and the primary
// connection, plus the wired interface through its Ethernet proxy. Owned by the GUI manager and
// shown to QML as `network`.
class Network : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(QString connectionState READ connectionState NOTIFY connectionStateChanged)
    Q_PROPERTY(QString connectivity READ connectivity NOTIFY connectivityChanged)
    Q_PROPERTY(QString hostname READ hostname NOTIFY hostnameChanged)
    Q_PROPERTY(manager::Connection* primaryConnection READ primaryConnection NOTIFY primaryConnectionChanged)
    Q_PROPERTY(manager::Ethernet* ethernet READ ethernet NOTIFY ethernetChanged)

public:
    Network(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    // The service reports no such flag; kept for the screens, always false.
    bool isConnected() const { return false; }
    QString connectionState() const { return m_connectionState; }
    QString connectivity() const { return m_connectivity; }
    QString hostname() const { return m_hostname; }
    Connection* primaryConnection() { return &m_primaryConnection; }
    Ethernet* ethernet() const { return m_ethernet; }

    // The refresh timer of monitor(), for inspection by tests.
    const QTimer& monitorTimer() const { return m_timer; }

public slots:
    void refresh();
    void monitor(int msec);

signals:
    void isConnectedChanged();
    void connectionStateChanged();
    void connectivityChanged();
    void hostnameChanged();
    void primaryConnectionChanged();
    void ethernetChanged();

private:
    void handleInfo(const QJsonObject& payload, const QString& topic);
    void handleStatus(const QJsonObject& payload, const QString& topic);

    MqttClient& m_client;
    QString m_baseTopic;
    QTimer m_timer;
    QString m_connectionState;
    QString m_connectivity;
    QString m_hostname;
    Connection m_primaryConnection;
    Ethernet* m_ethernet = nullptr;
};

} // namespace manager
