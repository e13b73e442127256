#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include "mqttengine.h"

class QTimer;
class Tst_MqttClient;

namespace manager {

// The program's one connection to the local broker. Keeps itself connected (bounded attempts,
// fixed retry interval), re-applies every recorded subscription after each connection, and
// hands every received message to all listeners through `received`; it never looks inside
// topics or payloads, the service proxies do.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    explicit MqttClient(QObject* parent = nullptr);
    ~MqttClient() override;

    void setHostname(const QString& hostname);
    void setPort(unsigned port);
    void setUsername(const QString& username);
    void setPassword(const QString& password);
    void setRetryMillis(unsigned millis);
    void setEncrypted(bool encrypted);
    void setCleanSession(bool cleanSession);
    void setClientId(const QString& clientId);
    void setKeepAlive(quint8 seconds);
    void setWillMessage(const QByteArray& message);
    void setWillQoS(quint8 qos);
    void setWillRetain(bool retain);
    void setWillTopic(const QString& topic);

    QString hostname() const { return m_hostname; }
    unsigned port() const { return m_port; }
    unsigned retryMillis() const { return m_retryMillis; }
    QString clientId() const { return m_clientId; }
    bool isConnected() const;
    // Recorded (topic filter, QoS) pairs, in request order; each pair appears once.
    QList<QPair<QString, int>> subscriptions() const { return m_subscriptions; }

public slots:
    void connect();
    void disconnect();
    void subscribe(const QString& topic, quint8 qos = 0);
    bool publish(const QByteArray& data, const QString& topic, quint8 qos = 0, bool retain = false);

signals:
    void connected();
    void disconnected();
    void received(const QByteArray& data, const QByteArray& from);
    void error(const QString& error);

private slots:
    void onConnected();
    void onDisconnected();
    void onStateChanged(manager::MqttEngine::ClientState state);
    // Cuts an attempt that is still pending after the retry interval.
    void onTimeout();
    void onReconnect();
    void onReceived(const QByteArray& message, const QString& topic);
    void onError(manager::MqttEngine::ClientError error);

private:
    // The tests read the timers' settings instead of waiting for them to run out.
    friend class ::Tst_MqttClient;
    void subscribeEntry(const QPair<QString, int>& entry);

    // Created by the first connect(), without a parent, and kept for the object's life.
    MqttEngine* m_client = nullptr;
    QTimer* m_attemptTimer = nullptr;
    QTimer* m_reconnectTimer = nullptr;
    QList<QPair<QString, int>> m_subscriptions;
    QString m_hostname = QStringLiteral("127.0.0.1");
    unsigned m_port = 1883;
    QString m_username;
    QString m_password;
    unsigned m_retryMillis = 3000;
    bool m_encrypted = false;
    bool m_cleanSession = true;
    QString m_clientId;
    quint8 m_keepAlive = 5;
    QByteArray m_willMessage;
    quint8 m_willQoS = 2;
    bool m_willRetain = true;
    QString m_willTopic;
};

} // namespace manager
