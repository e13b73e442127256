#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

#include "loglimiter.h"

class QHostInfo;
class QSocketNotifier;
class QTimer;
struct mosquitto;
struct mosquitto_message;

namespace manager {

// The MQTT 3.1.1 protocol engine behind `MqttClient`: one broker session at a time, run entirely
// by the GUI thread's event loop (socket notifiers plus a housekeeping timer), so every signal
// arrives on that thread and nothing ever reconnects behind the owner's back.
//
// A fresh library session is made for every connection attempt, so settings changed since the
// previous attempt apply to the next one and to nothing else.
class MqttEngine : public QObject
{
    Q_OBJECT
public:
    enum ClientState { Disconnected = 0, Connecting, Connected };
    Q_ENUM(ClientState)

    // 1 to 5 are the broker's CONNACK refusal codes.
    enum ClientError {
        NoError = 0,
        InvalidProtocolVersion = 1,
        IdRejected = 2,
        ServerUnavailable = 3,
        BadUsernameOrPassword = 4,
        NotAuthorized = 5,
        TransportInvalid = 256,
        ProtocolViolation,
        UnknownError
    };
    Q_ENUM(ClientError)

    // Larger messages are dropped as they arrive, before anyone parses them, with one warning
    // per topic and minute: a service never sends that much, and one such message must not
    // stall the GUI thread or flood the log.
    static constexpr int MaxPayloadBytes = 256 * 1024;
    // A burst is taken in batches of this many packets per readiness event, and the broker is
    // never given a chance to starve the event loop: the rest wait for the next turn of the loop.
    static constexpr int MaxPacketsPerRead = 64;

    explicit MqttEngine(QObject* parent = nullptr);
    ~MqttEngine() override;

    void setHostname(const QString& hostname) { m_hostname = hostname; }
    void setPort(quint16 port) { m_port = port; }
    void setUsername(const QString& username) { m_username = username; }
    void setPassword(const QString& password) { m_password = password; }
    void setClientId(const QString& clientId) { m_clientId = clientId; }
    void setKeepAlive(quint16 seconds) { m_keepAlive = seconds; }
    void setCleanSession(bool cleanSession) { m_cleanSession = cleanSession; }
    void setWillTopic(const QString& topic) { m_willTopic = topic; }
    void setWillMessage(const QByteArray& message) { m_willMessage = message; }
    void setWillQoS(quint8 qos) { m_willQoS = qos; }
    void setWillRetain(bool retain) { m_willRetain = retain; }

    QString hostname() const { return m_hostname; }
    quint16 port() const { return m_port; }
    QString username() const { return m_username; }
    QString clientId() const { return m_clientId; }
    quint16 keepAlive() const { return m_keepAlive; }
    bool cleanSession() const { return m_cleanSession; }
    QString willTopic() const { return m_willTopic; }
    QByteArray willMessage() const { return m_willMessage; }
    quint8 willQoS() const { return m_willQoS; }
    bool willRetain() const { return m_willRetain; }
    // MQTT 3.1.1 is level 4 on the wire.
    int protocolVersion() const { return 4; }

    ClientState state() const { return m_state; }
    ClientError error() const { return m_error; }
    // Why the last attempt could not reach the broker, in the system's words ("Connection
    // refused", "No route to host", "timed out"); empty when it was reached (or is being tried).
    QString unreachableReason() const { return m_unreachableReason; }

    // Starts an attempt with the current settings; ignored unless Disconnected. An attempt that
    // fails at once still passes through Connecting, so the owner sees the failure as a state.
    // A host name is resolved in the background (the attempt stays Connecting meanwhile); an IP
    // address is used as it is. Nothing here waits for the network.
    void connectToHost();
    void disconnectFromHost();
    // The packet id of the SUBSCRIBE, or nothing when it could not be sent.
    std::optional<int> subscribe(const QString& topicFilter, quint8 qos);
    // The message id, or -1 when the message was refused.
    int publish(const QString& topic, const QByteArray& payload, quint8 qos, bool retain);
    // Drops the socket at once, without a DISCONNECT; cuts an attempt the broker never answers.
    void closeTransport();

    // The keep-alive actually used on the wire: the library refuses 1 to 4 seconds.
    static int effectiveKeepAlive(quint16 seconds);
    // What a session lost with the library's code rc means to the owner.
    static ClientError errorForLostSession(int rc);

signals:
    void stateChanged(manager::MqttEngine::ClientState state);
    void errorChanged(manager::MqttEngine::ClientError error);
    void connected();
    void disconnected();
    // retained: the broker sent it from its retained store, because of a new subscription.
    void messageReceived(const QByteArray& payload, const QString& topic, bool retained);

private slots:
    void onHostLookedUp(const QHostInfo& info);
    void onReadable();
    void onWritable();
    void onHousekeeping();

private:
    class CallScope;
    friend class CallScope;

    static void onConnectCallback(mosquitto* mosq, void* self, int rc);
    static void onDisconnectCallback(mosquitto* mosq, void* self, int rc);
    static void onMessageCallback(mosquitto* mosq, void* self, const mosquitto_message* message);

    void setState(ClientState state);
    void setError(ClientError error);
    // Ends the current session: the library object goes away (later, if we are inside one of
    // its calls), the notifiers with it.
    void dropSession();
    // Brings the notifiers in line with the library after each call into it.
    void sync();
    void dropNotifiers();
    void destroyRetired();
    void dropOversized(const QString& topic, int size);
    // Hands the resolved address to the library and starts the socket.
    void connectSocket(const QString& address);

    mosquitto* m_mosq = nullptr;
    QString m_unreachableReason;
    QList<mosquitto*> m_retired;
    int m_callDepth = 0;
    int m_notifiedSocket = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer* m_housekeeping = nullptr;

    ClientState m_state = Disconnected;
    ClientError m_error = NoError;
    bool m_outageAnnounced = false;
    LogLimiter m_oversizeLog;
    LogLimiter m_resolveLog;
    int m_lookupId = -1;
    QElapsedTimer m_monotonic;

    QString m_hostname;
    quint16 m_port = 1883;
    QString m_username;
    QString m_password;
    QString m_clientId;
    quint16 m_keepAlive = 60;
    bool m_cleanSession = true;
    QString m_willTopic;
    QByteArray m_willMessage;
    quint8 m_willQoS = 0;
    bool m_willRetain = false;
};

} // namespace manager
