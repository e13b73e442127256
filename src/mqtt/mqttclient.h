#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

#include "loglimiter.h"
#include "mqttengine.h"

class QTimer;
class Tst_MqttClient;

namespace manager {

// The program's one connection to the local broker. Keeps itself connected (bounded attempts,
// fixed retry interval), re-applies every recorded subscription after each connection, and
// routes each received message to the proxies whose topics it matches. It never looks inside
// payloads (except to mask secrets in its debug log); the service proxies do.
//
// Routing. Each proxy registers the topics it serves, with a handler, once, in its
// constructor:
//
//     client.route(base + "/status", this, &Board::onStatusMessage);    // one topic
//     client.route(base + "/#", this, [this](const QByteArray& payload, const QString& topic) {
//         ...                                                            // a whole subtree
//     });
//
// route() subscribes the filter (QoS 0 unless given) and from then on calls the handler, on the
// GUI thread and before the next message is handled, for every message whose topic the filter
// matches under the MQTT rules ("+" one level, a trailing "#" the level above and everything
// below). A message that matches several routes goes to each, in registration order; one that
// matches none reaches no proxy. A route ends when its receiver is destroyed, or with unroute().
// For handlers that want one JSON object per message see jsonroute.h.
//
// Every message also goes out through `received`, after the routes, for a listener that
// really needs all of them; a proxy should route instead.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QByteArray& payload, const QString& topic)>;

    explicit MqttClient(QObject* parent = nullptr);
    ~MqttClient() override;

    // Subscribes filter and sends its messages to handler while receiver lives.
    void route(const QString& filter, QObject* receiver, Handler handler, quint8 qos = 0);
    template <class T>
    void route(const QString& filter, T* receiver, void (T::*method)(const QByteArray&, const QString&),
               quint8 qos = 0)
    {
        route(filter, receiver,
              [receiver, method](const QByteArray& payload, const QString& topic) { (receiver->*method)(payload, topic); },
              qos);
    }
    // Ends every route of receiver; its subscriptions stay (another route may share them).
    void unroute(QObject* receiver);
    // Hands one message to its routes, then to `received`. The engine's messages come this way;
    // tests feed messages here. retained: the broker delivered it from its retained store.
    void dispatch(const QByteArray& payload, const QString& topic, bool retained = false);
    // Marks the topics that filter matches as requests ("/status/get", "/config/set"): a request
    // is meant for the moment it is sent. One the broker hands over from its retained store
    // (left there by someone, delivered again on every new subscription) reaches no route and
    // no listener; one warning line per topic and minute says so.
    void setLiveOnly(const QString& filter);
    bool isLiveOnly(const QString& topic) const;
    // Marks the topics that filter matches as carrying secrets (settings, maintenance
    // barcodes): their payloads reach the debug log only as JSON with every secret key masked,
    // and as their size when they do not parse. A malformed message there still holds the PIN
    // or a password in some form no pattern foresees.
    void setConfidential(const QString& filter);
    bool isConfidential(const QString& topic) const;
    // MQTT topic filter matching; a filter that is not valid MQTT (a "#" that is not the last
    // level, a wildcard inside a level) matches nothing.
    static bool topicMatches(const QString& filter, const QString& topic);

    void setHostname(const QString& hostname);
    void setPort(unsigned port);
    void setUsername(const QString& username);
    void setPassword(const QString& password);
    void setRetryMillis(unsigned millis);
    void setEncrypted(bool encrypted);
    void setCleanSession(bool cleanSession);
    // The id on the wire is clientId followed by "_" and a random suffix drawn once per client
    // object: a name that another local client can guess lets it take the session over and
    // knock this program off the broker. An empty id lets the engine choose a random one.
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
    QString willTopic() const { return m_willTopic; }
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
    void onReceived(const QByteArray& message, const QString& topic, bool retained = false);
    void onError(manager::MqttEngine::ClientError error);

private:
    // The tests read the timers' settings instead of waiting for them to run out.
    friend class ::Tst_MqttClient;
    void subscribeEntry(const QPair<QString, int>& entry);
    void reportUnreachable();

    struct Route
    {
        quint64 order = 0;
        QString filter;
        QPointer<QObject> receiver;
        Handler handler;
    };
    // Plain topic names are looked up directly; only wildcard filters are matched one by one.
    QHash<QString, QList<Route>> m_exactRoutes;
    QList<Route> m_wildcardRoutes;
    QList<QObject*> m_routedReceivers;
    quint64 m_nextRouteOrder = 0;

    // Created by the first connect(), without a parent, and kept for the object's life.
    MqttEngine* m_client = nullptr;
    QTimer* m_attemptTimer = nullptr;
    QTimer* m_reconnectTimer = nullptr;
    QList<QPair<QString, int>> m_subscriptions;
    QStringList m_confidential;
    QStringList m_liveOnly;
    LogLimiter m_retainedLog;
    QElapsedTimer m_retainedClock;
    QString m_hostname = QStringLiteral("127.0.0.1");
    unsigned m_port = 1883;
    QString m_username;
    QString m_password;
    unsigned m_retryMillis = 3000;
    bool m_encrypted = false;
    bool m_cleanSession = true;
    QString m_clientId;
    const QString m_clientIdSuffix;
    quint8 m_keepAlive = 5;
    QByteArray m_willMessage;
    quint8 m_willQoS = 2;
    bool m_willRetain = true;
    QString m_willTopic;
    // One "Cannot reach broker" line a minute.
    static constexpr qint64 UnreachableLogMillis = 60000;
    LogLimiter m_unreachableLog { UnreachableLogMillis, 1 };
    QElapsedTimer m_unreachableClock;
};

} // namespace manager
