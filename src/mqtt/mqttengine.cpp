#include "mqttengine.h"

#include <QDebug>
#include <QHostAddress>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include <mutex>

namespace manager {

namespace {

void initLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

constexpr int HousekeepingMillis = 1000;

} // namespace

MqttEngine::ClientError MqttEngine::errorForLostSession(int rc)
{
    switch (rc) {
    case MOSQ_ERR_KEEPALIVE:
        // The broker stopped answering pings: the network is up but the service is not.
        return MqttEngine::ServerUnavailable;
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_MALFORMED_PACKET:
    case MOSQ_ERR_MALFORMED_UTF8:
    case MOSQ_ERR_DUPLICATE_PROPERTY:
    case MOSQ_ERR_OVERSIZE_PACKET:
    case MOSQ_ERR_NOT_SUPPORTED:
    case MOSQ_ERR_PAYLOAD_SIZE:
        return MqttEngine::ProtocolViolation;
    default:
        return MqttEngine::TransportInvalid;
    }
}

// Every entry into the library goes through one of these. Library objects retired during a
// callback are destroyed only once the outermost call has returned, and the notifiers are
// brought in line with what the call left queued.
class MqttEngine::CallScope
{
public:
    explicit CallScope(MqttEngine* engine)
        : m_engine(engine)
    {
        ++m_engine->m_callDepth;
    }
    ~CallScope()
    {
        if (--m_engine->m_callDepth == 0) {
            m_engine->destroyRetired();
            m_engine->sync();
        }
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    MqttEngine* m_engine;
};

MqttEngine::MqttEngine(QObject* parent)
    : QObject(parent)
{
    // Queued connections and signal spies need the argument types by name.
    qRegisterMetaType<ClientState>();
    qRegisterMetaType<ClientError>();
    initLibraryOnce();
    m_monotonic.start();
}

MqttEngine::~MqttEngine()
{
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = m_writeNotifier = nullptr;
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    destroyRetired();
    delete m_housekeeping;
}

int MqttEngine::effectiveKeepAlive(quint16 seconds)
{
    if (seconds == 0)
        return 0;
    return seconds < 5 ? 5 : seconds;
}

void MqttEngine::connectToHost()
{
    if (m_state != Disconnected)
        return;
    CallScope scope(this);
    dropSession();
    setError(NoError);
    m_unreachableReason.clear();

    if (m_clientId.isEmpty()) {
        // A persistent session needs a name, and the broker must tell clients apart anyway.
        m_clientId = QStringLiteral("vovadudozad-%1")
                         .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    }
    m_mosq = mosquitto_new(m_clientId.toUtf8().constData(), m_cleanSession, this);
    if (!m_mosq) {
        setState(Connecting);
        setError(UnknownError);
        setState(Disconnected);
        return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small messages would otherwise wait for the acknowledgement of the previous segment.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_mosq, &MqttEngine::onConnectCallback);
    mosquitto_disconnect_callback_set(m_mosq, &MqttEngine::onDisconnectCallback);
    mosquitto_message_callback_set(m_mosq, &MqttEngine::onMessageCallback);

    // MQTT 3.1.1 allows no password without a user name.
    if (!m_username.isEmpty()) {
        const QByteArray user = m_username.toUtf8();
        const QByteArray password = m_password.toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(), m_password.isEmpty() ? nullptr : password.constData());
    }
    if (!m_willTopic.isEmpty()) {
        const int rc = mosquitto_will_set(m_mosq, m_willTopic.toUtf8().constData(), m_willMessage.size(),
                                          m_willMessage.constData(), m_willQoS, m_willRetain);
        if (rc != MOSQ_ERR_SUCCESS) {
            qWarning().noquote().nospace() << "[MqttClient] " << "WARN: Last will on '" << m_willTopic
                                           << "' with QoS = " << int(m_willQoS) << " refused; connecting without it";
        }
    }

    setState(Connecting);
    if (m_state != Connecting)
        return; // the owner reacted to Connecting by giving up
    // The library would resolve a name itself, blocking the GUI thread for as long as the name
    // server takes (seconds, and again at every retry, while the network is down). A name is
    // resolved in the background instead, and the library gets the address.
    if (!QHostAddress(m_hostname).isNull()) {
        connectSocket(m_hostname);
        return;
    }
    m_lookupId = QHostInfo::lookupHost(m_hostname, this, SLOT(onHostLookedUp(QHostInfo)));
}

void MqttEngine::onHostLookedUp(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId || m_state != Connecting || !m_mosq)
        return; // an answer for an attempt that has ended
    m_lookupId = -1;
    CallScope scope(this);
    QHostAddress chosen;
    for (const QHostAddress& address : info.addresses()) {
        // IPv4 first: a broker listening on 127.0.0.1 only is the common case for "localhost".
        if (chosen.isNull() || (address.protocol() == QAbstractSocket::IPv4Protocol
                                && chosen.protocol() != QAbstractSocket::IPv4Protocol))
            chosen = address;
    }
    if (chosen.isNull()) {
        m_unreachableReason = info.errorString();
        int suppressed = 0;
        if (m_resolveLog.allow(m_hostname, m_monotonic.elapsed(), &suppressed)) {
            qWarning().noquote().nospace() << "[MqttClient] " << "WARN: Cannot resolve broker host '"
                                           << m_hostname.left(200) << "' : " << info.errorString();
        }
        dropSession();
        setError(TransportInvalid);
        setState(Disconnected);
        return;
    }
    connectSocket(chosen.toString());
}

void MqttEngine::connectSocket(const QString& address)
{
    errno = 0;
    const int rc = mosquitto_connect_async(m_mosq, address.toUtf8().constData(), m_port,
                                           effectiveKeepAlive(m_keepAlive));
    if (rc != MOSQ_ERR_SUCCESS) {
        // Refused port, unknown host, no route: no socket, and no callback will follow.
        m_unreachableReason = rc == MOSQ_ERR_ERRNO && errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                                                  : QString::fromUtf8(mosquitto_strerror(rc));
        dropSession();
        setError(TransportInvalid);
        setState(Disconnected);
        return;
    }
    if (!m_housekeeping) {
        m_housekeeping = new QTimer;
        m_housekeeping->setInterval(HousekeepingMillis);
        QObject::connect(m_housekeeping, &QTimer::timeout, this, &MqttEngine::onHousekeeping);
    }
    m_housekeeping->start();
}

void MqttEngine::disconnectFromHost()
{
    if (!m_mosq || m_state == Disconnected)
        return;
    CallScope scope(this);
    if (m_state == Connected && mosquitto_disconnect(m_mosq) == MOSQ_ERR_SUCCESS)
        return; // the library reports the end once the DISCONNECT is on the wire
    // An attempt in progress is simply abandoned.
    dropSession();
    setState(Disconnected);
}

std::optional<int> MqttEngine::subscribe(const QString& topicFilter, quint8 qos)
{
    if (!m_mosq || m_state != Connected || topicFilter.contains(QChar(0)))
        return std::nullopt;
    CallScope scope(this);
    int mid = 0;
    if (mosquitto_subscribe(m_mosq, &mid, topicFilter.toUtf8().constData(), qos) != MOSQ_ERR_SUCCESS)
        return std::nullopt;
    return mid;
}

int MqttEngine::publish(const QString& topic, const QByteArray& payload, quint8 qos, bool retain)
{
    if (!m_mosq || m_state != Connected || topic.contains(QChar(0)))
        return -1;
    CallScope scope(this);
    int mid = 0;
    const int rc = mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(), payload.size(), payload.constData(),
                                     qos, retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttEngine::closeTransport()
{
    if (!m_mosq)
        return;
    CallScope scope(this);
    dropSession();
    if (m_state == Connecting && m_unreachableReason.isEmpty())
        m_unreachableReason = QStringLiteral("timed out");
    if (m_state != Disconnected) {
        setError(TransportInvalid);
        setState(Disconnected);
    }
}

void MqttEngine::onReadable()
{
    if (!m_mosq)
        return;
    CallScope scope(this);
    mosquitto* const session = m_mosq;
    for (int i = 0; i < MaxPacketsPerRead; ++i) {
        mosquitto_loop_read(session, 1);
        // A callback may have ended or replaced the session.
        if (m_mosq != session)
            break;
        const int fd = mosquitto_socket(session);
        int pending = 0;
        if (fd < 0 || ::ioctl(fd, FIONREAD, &pending) != 0 || pending <= 0)
            break;
    }
}

void MqttEngine::onWritable()
{
    if (!m_mosq)
        return;
    CallScope scope(this);
    mosquitto_loop_write(m_mosq, 1);
}

void MqttEngine::onHousekeeping()
{
    if (!m_mosq)
        return;
    CallScope scope(this);
    // Sends the keep-alive pings and notices a broker that stopped answering them.
    mosquitto_loop_misc(m_mosq);
}

void MqttEngine::onConnectCallback(mosquitto* mosq, void* self, int rc)
{
    auto* engine = static_cast<MqttEngine*>(self);
    if (mosq != engine->m_mosq)
        return;
    if (rc == 0) {
        engine->setState(Connected);
        return;
    }
    // A refusal; the library closes the socket and reports the disconnection right after.
    engine->setError(rc >= InvalidProtocolVersion && rc <= NotAuthorized ? ClientError(rc) : ProtocolViolation);
}

void MqttEngine::onDisconnectCallback(mosquitto* mosq, void* self, int rc)
{
    const int cause = errno;
    auto* engine = static_cast<MqttEngine*>(self);
    if (mosq != engine->m_mosq)
        return;
    // An attempt that never got an answer: the socket's own error says why.
    if (engine->m_state == Connecting && engine->m_error == NoError && rc != MOSQ_ERR_SUCCESS) {
        engine->m_unreachableReason = rc == MOSQ_ERR_ERRNO && cause != 0
            ? QString::fromLocal8Bit(std::strerror(cause))
            : QString::fromUtf8(mosquitto_strerror(rc));
    }
    // The socket is already closed: the notifiers must go before the descriptor is reused.
    engine->dropSession();
    // A refusal already said why; the library only adds "connection refused".
    if (rc != MOSQ_ERR_SUCCESS && engine->m_error == NoError)
        engine->setError(errorForLostSession(rc));
    engine->setState(Disconnected);
}

void MqttEngine::onMessageCallback(mosquitto* mosq, void* self, const mosquitto_message* message)
{
    auto* engine = static_cast<MqttEngine*>(self);
    if (mosq != engine->m_mosq || !message)
        return;
    // The library frees its copy when the callback returns. An empty payload stays an empty,
    // non-null array so that listeners can tell it from "nothing".
    const QString topic = QString::fromUtf8(message->topic ? message->topic : "");
    if (message->payloadlen > MaxPayloadBytes) {
        engine->dropOversized(topic, message->payloadlen);
        return;
    }
    const char* data = message->payload ? static_cast<const char*>(message->payload) : "";
    const QByteArray payload(data, message->payloadlen);
    emit engine->messageReceived(payload, topic, message->retain);
}

void MqttEngine::dropOversized(const QString& topic, int size)
{
    int suppressed = 0;
    if (!m_oversizeLog.allow(topic, m_monotonic.elapsed(), &suppressed))
        return;
    auto line = qWarning().noquote().nospace();
    line << "[MqttClient] " << "WARN: Dropped a message of " << size << " bytes on '" << topic.left(200)
         << "': larger than " << MaxPayloadBytes << " bytes";
    if (suppressed > 0)
        line << " (" << suppressed << " more dropped on this topic since the last warning)";
}

void MqttEngine::setState(ClientState state)
{
    if (m_state == state)
        return;
    const ClientState previous = m_state;
    m_state = state;
    emit stateChanged(state);
    if (m_state != state)
        return; // a listener already moved on
    // `disconnected` announces an outage once: when a connection ends, or when the first
    // attempt fails and the broker was never reached (the owner must know that it is offline
    // either way). The retries that follow while the broker stays away announce nothing.
    if (state == Connected) {
        m_outageAnnounced = false;
        emit connected();
    } else if (state == Disconnected && (previous == Connected || !m_outageAnnounced)) {
        m_outageAnnounced = true;
        emit disconnected();
    }
}

void MqttEngine::setError(ClientError error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged(error);
}

void MqttEngine::dropSession()
{
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    dropNotifiers();
    if (m_housekeeping)
        m_housekeeping->stop();
    if (!m_mosq)
        return;
    if (m_callDepth > 0)
        m_retired.append(m_mosq);
    else
        mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
}

void MqttEngine::dropNotifiers()
{
    // Possibly called from a notifier's own activation: disable now, delete later.
    for (QSocketNotifier* notifier : { m_readNotifier, m_writeNotifier }) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = m_writeNotifier = nullptr;
    m_notifiedSocket = -1;
}

void MqttEngine::destroyRetired()
{
    const QList<mosquitto*> retired = m_retired;
    m_retired.clear();
    for (mosquitto* mosq : retired)
        mosquitto_destroy(mosq);
}

void MqttEngine::sync()
{
    const int fd = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (fd != m_notifiedSocket) {
        dropNotifiers();
        if (fd >= 0) {
            m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            QObject::connect(m_readNotifier, &QSocketNotifier::activated, this, &MqttEngine::onReadable);
            m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
            m_writeNotifier->setEnabled(false);
            QObject::connect(m_writeNotifier, &QSocketNotifier::activated, this, &MqttEngine::onWritable);
            m_notifiedSocket = fd;
        }
    }
    // Anything queued inside a callback would otherwise sit until the next housekeeping tick.
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));

    if (m_mosq && fd < 0 && m_state != Disconnected && m_lookupId < 0) {
        // The library lost the socket without telling us (while a name is being resolved there
        // is no socket yet).
        CallScope scope(this);
        dropSession();
        if (m_error == NoError)
            setError(TransportInvalid);
        setState(Disconnected);
    }
}

} // namespace manager
