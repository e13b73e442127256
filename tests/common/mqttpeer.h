#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include "mqttclient.h"

class TestBroker;

// A second party on a test broker: publishes requests the way a service would and collects
// what the program under test publishes. Owns its own manager::MqttClient.
//
//     MqttPeer peer(broker);
//     QVERIFY(peer.waitConnected(5000));
//     peer.subscribe("orvo/ui/#");
//     QVERIFY(peer.sync(2000));               // the subscription is active at the broker
//     ... make the program publish ...
//     QCOMPARE(peer.waitFor("orvo/ui/status", 2000), expected);
class MqttPeer : public QObject
{
    Q_OBJECT
public:
    // Starts connecting at once (retry interval 200 ms).
    MqttPeer(const QString& host, quint16 port, QObject* parent = nullptr);
    explicit MqttPeer(const TestBroker& broker, QObject* parent = nullptr);

    manager::MqttClient& client() { return m_client; }

    bool isConnected() const { return m_client.isConnected(); }
    bool waitConnected(int ms);
    void subscribe(const QString& topic, quint8 qos = 0);
    // Round trip through the broker on a private topic: once it returns true, every subscribe
    // made before it is in force at the broker.
    bool sync(int ms);
    bool publish(const QString& topic, const QByteArray& payload, quint8 qos = 0, bool retain = false);

    // The payload of the oldest collected message on exactly this topic, removed from the
    // collection; waits up to ms for one. A null array on timeout; an empty message gives an
    // empty, non-null array.
    QByteArray waitFor(const QString& topic, int ms);
    // Everything collected so far, oldest first, and forgets it.
    QList<QPair<QString, QByteArray>> takeAll();
    QList<QPair<QString, QByteArray>> messages() const { return m_messages; }
    int count(const QString& topic) const;

private:
    void onReceived(const QByteArray& data, const QByteArray& from);

    manager::MqttClient m_client;
    QString m_syncTopic;
    int m_syncSeen = 0;
    QList<QPair<QString, QByteArray>> m_messages;
};
