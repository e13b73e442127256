#include "mqttclient.h"

#include "payloadreader.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

namespace manager {

namespace {

const char* const Tag = "[MqttClient] ";

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

// Payloads can be large; building the debug text is skipped when nobody will read it.
bool debugEnabled()
{
    return QLoggingCategory::defaultCategory()->isDebugEnabled();
}

// 48 random bits from the system's generator: not guessable by another local process.
QString randomSuffix()
{
    return QStringLiteral("%1").arg(QRandomGenerator::system()->generate64() & 0xFFFFFFFFFFFFull, 12, 16,
                                    QLatin1Char('0'));
}

bool isWildcard(const QString& filter)
{
    return filter.contains(QLatin1Char('+')) || filter.contains(QLatin1Char('#'));
}

} // namespace

MqttClient::MqttClient(QObject* parent)
    : QObject(parent)
    , m_clientIdSuffix(randomSuffix())
{
    qRegisterMetaType<MqttEngine::ClientState>("ClientState");
    qRegisterMetaType<MqttEngine::ClientError>("ClientError");
}

MqttClient::~MqttClient()
{
    delete m_client;
    delete m_attemptTimer;
    delete m_reconnectTimer;
}

void MqttClient::setHostname(const QString& hostname) { m_hostname = hostname; }
void MqttClient::setPort(unsigned port) { m_port = port; }
void MqttClient::setUsername(const QString& username) { m_username = username; }
void MqttClient::setPassword(const QString& password) { m_password = password; }
void MqttClient::setRetryMillis(unsigned millis) { m_retryMillis = millis; }
void MqttClient::setEncrypted(bool encrypted) { m_encrypted = encrypted; }
void MqttClient::setCleanSession(bool cleanSession) { m_cleanSession = cleanSession; }
void MqttClient::setClientId(const QString& clientId)
{
    m_clientId = clientId.isEmpty() ? QString() : clientId + QLatin1Char('_') + m_clientIdSuffix;
}
void MqttClient::setKeepAlive(quint8 seconds) { m_keepAlive = seconds; }
void MqttClient::setWillMessage(const QByteArray& message) { m_willMessage = message; }
void MqttClient::setWillQoS(quint8 qos) { m_willQoS = qos; }
void MqttClient::setWillRetain(bool retain) { m_willRetain = retain; }
void MqttClient::setWillTopic(const QString& topic) { m_willTopic = topic; }

void MqttClient::route(const QString& filter, QObject* receiver, Handler handler, quint8 qos)
{
    if (!receiver || !handler) {
        qWarning().noquote().nospace() << Tag << "WARN: Route for '" << filter << "' without receiver or handler ignored";
        return;
    }
    if (!m_routedReceivers.contains(receiver)) {
        m_routedReceivers.append(receiver);
        QObject::connect(receiver, &QObject::destroyed, this, [this](QObject* gone) {
            m_routedReceivers.removeAll(gone);
            unroute(gone);
        });
    }
    Route entry{m_nextRouteOrder++, filter, receiver, std::move(handler)};
    if (isWildcard(filter))
        m_wildcardRoutes.append(std::move(entry));
    else
        m_exactRoutes[filter].append(std::move(entry));
    subscribe(filter, qos);
}

void MqttClient::unroute(QObject* receiver)
{
    // Also called from `destroyed`, when the QPointers already read null: compare addresses.
    auto owned = [receiver](const Route& entry) { return entry.receiver.data() == receiver || entry.receiver.isNull(); };
    m_wildcardRoutes.erase(std::remove_if(m_wildcardRoutes.begin(), m_wildcardRoutes.end(), owned),
                           m_wildcardRoutes.end());
    for (auto it = m_exactRoutes.begin(); it != m_exactRoutes.end();) {
        it->erase(std::remove_if(it->begin(), it->end(), owned), it->end());
        it = it->isEmpty() ? m_exactRoutes.erase(it) : std::next(it);
    }
}

void MqttClient::dispatch(const QByteArray& payload, const QString& topic, bool retained)
{
    if (retained && isLiveOnly(topic)) {
        if (!m_retainedClock.isValid())
            m_retainedClock.start();
        int suppressed = 0;
        if (m_retainedLog.allow(topic, m_retainedClock.elapsed(), &suppressed)) {
            qWarning().noquote().nospace() << Tag << "WARN: Ignoring a retained request on '" << topic.left(200)
                                           << "': a request counts only when it is sent";
        }
        return;
    }
    // Copies: a handler may add or end routes, or destroy another receiver, while we walk.
    QList<Route> targets = m_exactRoutes.value(topic);
    const int exact = targets.size();
    for (const Route& entry : qAsConst(m_wildcardRoutes)) {
        if (topicMatches(entry.filter, topic))
            targets.append(entry);
    }
    if (exact > 0 && targets.size() > exact)
        std::sort(targets.begin(), targets.end(), [](const Route& a, const Route& b) { return a.order < b.order; });
    for (const Route& entry : qAsConst(targets)) {
        if (entry.receiver)
            entry.handler(payload, topic);
    }
    emit received(payload, topic.toUtf8());
}

bool MqttClient::topicMatches(const QString& filter, const QString& topic)
{
    const QVector<QStringRef> wanted = filter.splitRef(QLatin1Char('/'));
    const QVector<QStringRef> levels = topic.splitRef(QLatin1Char('/'));
    for (int i = 0; i < wanted.size(); ++i) {
        const QStringRef& level = wanted.at(i);
        if (level == QLatin1String("#"))
            return i == wanted.size() - 1;
        if (level.contains(QLatin1Char('#')))
            return false;
        if (i >= levels.size())
            return false;
        if (level == QLatin1String("+"))
            continue;
        if (level.contains(QLatin1Char('+')) || level != levels.at(i))
            return false;
    }
    return wanted.size() == levels.size();
}

bool MqttClient::isConnected() const
{
    return m_client && m_client->state() == MqttEngine::Connected;
}

void MqttClient::connect()
{
    qInfo().noquote().nospace() << Tag << "Connecting to host";

    if (!m_attemptTimer) {
        m_attemptTimer = new QTimer;
        QObject::connect(m_attemptTimer, &QTimer::timeout, this, &MqttClient::onTimeout);
        m_reconnectTimer = new QTimer;
        m_reconnectTimer->setSingleShot(true);
        QObject::connect(m_reconnectTimer, &QTimer::timeout, this, &MqttClient::onReconnect);
    }
    m_attemptTimer->setInterval(int(m_retryMillis));
    m_reconnectTimer->setInterval(int(m_retryMillis));
    qDebug().noquote().nospace() << Tag << "Applying client configuration:";
    qDebug().noquote().nospace() << Tag << "Retry interval millis: " << m_retryMillis;

    if (!m_client) {
        m_client = new MqttEngine;
        // `connected` goes out from onConnected, once the subscriptions are on their way: a
        // publication made in reaction to it must not overtake them.
        QObject::connect(m_client, &MqttEngine::connected, this, &MqttClient::onConnected);
        QObject::connect(m_client, &MqttEngine::disconnected, this, &MqttClient::disconnected);
        QObject::connect(m_client, &MqttEngine::disconnected, this, &MqttClient::onDisconnected);
        QObject::connect(m_client, &MqttEngine::errorChanged, this, &MqttClient::onError);
        QObject::connect(m_client, &MqttEngine::stateChanged, this, &MqttClient::onStateChanged);
        QObject::connect(m_client, &MqttEngine::messageReceived, this, &MqttClient::onReceived);
    }
    qDebug().noquote().nospace() << Tag << "Applying client configuration:";
    qDebug().noquote().nospace() << Tag << "Hostname: " << m_hostname;
    qDebug().noquote().nospace() << Tag << "Port    : " << m_port;
    qDebug().noquote().nospace() << Tag << "Username: " << m_username;
    qDebug().noquote().nospace() << Tag << "CleanSession: " << boolText(m_cleanSession);
    qDebug().noquote().nospace() << Tag << "Client Id   : " << m_clientId;
    qDebug().noquote().nospace() << Tag << "Keepalive   : " << int(m_keepAlive);
    qDebug().noquote().nospace() << Tag << "Will Message: " << QString::fromUtf8(m_willMessage);
    qDebug().noquote().nospace() << Tag << "Will QoS    : " << int(m_willQoS);
    qDebug().noquote().nospace() << Tag << "Will Retain : " << boolText(m_willRetain);
    qDebug().noquote().nospace() << Tag << "Will Topic  : " << m_willTopic;
    m_client->setHostname(m_hostname);
    m_client->setPort(quint16(m_port & 0xFFFFu));
    m_client->setUsername(m_username);
    m_client->setPassword(m_password);
    m_client->setCleanSession(m_cleanSession);
    m_client->setClientId(m_clientId);
    m_client->setKeepAlive(m_keepAlive);
    m_client->setWillMessage(m_willMessage);
    m_client->setWillQoS(m_willQoS);
    m_client->setWillRetain(m_willRetain);
    m_client->setWillTopic(m_willTopic);

    if (m_encrypted)
        qWarning().noquote().nospace() << Tag << "Encryption not yet supported";

    m_client->connectToHost();
}

void MqttClient::disconnect()
{
    // Before the first connect there is nothing to close.
    if (m_client)
        m_client->disconnectFromHost();
}

void MqttClient::setConfidential(const QString& filter)
{
    if (!m_confidential.contains(filter))
        m_confidential.append(filter);
}

void MqttClient::setLiveOnly(const QString& filter)
{
    if (!m_liveOnly.contains(filter))
        m_liveOnly.append(filter);
}

bool MqttClient::isLiveOnly(const QString& topic) const
{
    for (const QString& filter : m_liveOnly) {
        if (topicMatches(filter, topic))
            return true;
    }
    return false;
}

bool MqttClient::isConfidential(const QString& topic) const
{
    for (const QString& filter : m_confidential) {
        if (topicMatches(filter, topic))
            return true;
    }
    return false;
}

void MqttClient::subscribe(const QString& topic, quint8 qos)
{
    // Every proxy and the program itself subscribe again after each connection; recording the
    // pair once keeps the list, and what each connection sends, from growing without end.
    const QPair<QString, int> entry(topic, int(qos));
    if (!m_subscriptions.contains(entry))
        m_subscriptions.append(entry);
    if (isConnected())
        subscribeEntry(entry);
}

void MqttClient::subscribeEntry(const QPair<QString, int>& entry)
{
    qInfo().noquote().nospace() << Tag << "Subscribing to '" << entry.first << "' with QoS = " << entry.second;
    if (!m_client->subscribe(entry.first, quint8(entry.second)))
        emit error(QStringLiteral("Subscription to ") + entry.first + QStringLiteral(" failed."));
}

bool MqttClient::publish(const QByteArray& data, const QString& topic, quint8 qos, bool retain)
{
    if (!isConnected())
        return false;
    if (debugEnabled()) {
        qDebug().noquote().nospace() << Tag << "Publishing to topic '" << topic << "' with Qos = " << int(qos)
                                     << " and Retain = " << boolText(retain) << ": "
                                     << PayloadReader::masked(data, isConfidential(topic));
    }
    if (m_client->publish(topic, data, qos, retain) == -1) {
        emit error(QStringLiteral("Publish to ") + topic + QStringLiteral(" failed."));
        return false;
    }
    return true;
}

void MqttClient::onConnected()
{
    qInfo().noquote().nospace() << Tag << "Connected to broker " << m_client->hostname();
    // A copy: a listener of `error` may subscribe while we walk the list.
    const QList<QPair<QString, int>> entries = m_subscriptions;
    for (const auto& entry : entries) {
        if (!isConnected())
            return;
        subscribeEntry(entry);
    }
    emit connected();
}

void MqttClient::onDisconnected()
{
    qInfo().noquote().nospace() << Tag << "Disconnected from broker " << m_client->hostname();
}

void MqttClient::onStateChanged(MqttEngine::ClientState state)
{
    switch (state) {
    case MqttEngine::Connecting:
        qDebug().noquote().nospace() << Tag << "State is Connecting.";
        m_attemptTimer->start();
        break;
    case MqttEngine::Connected:
        qDebug().noquote().nospace() << Tag << "State is Connected.";
        m_attemptTimer->stop();
        // The next outage is reported at once.
        m_unreachableLog = LogLimiter(UnreachableLogMillis, 1);
        break;
    case MqttEngine::Disconnected:
        qDebug().noquote().nospace() << Tag << "State is Disconnected.";
        m_reconnectTimer->start();
        reportUnreachable();
        break;
    }
}

void MqttClient::reportUnreachable()
{
    // Beside the client's own transport text, once a minute while it lasts: where we tried to
    // go and what the system said, which is what a technician on the vehicle can act on.
    const QString reason = m_client->unreachableReason();
    if (reason.isEmpty())
        return;
    if (!m_unreachableClock.isValid())
        m_unreachableClock.start();
    int suppressed = 0;
    if (!m_unreachableLog.allow(QStringLiteral("broker"), m_unreachableClock.elapsed(), &suppressed))
        return;
    auto line = qWarning().noquote().nospace();
    line << Tag << "WARN: Cannot reach broker " << m_client->hostname().left(200) << ":" << m_client->port() << " : "
         << reason.left(200);
    if (suppressed > 0)
        line << " (" << suppressed + 1 << " attempts since the last report)";
}

void MqttClient::onTimeout()
{
    if (m_client)
        m_client->closeTransport();
}

void MqttClient::onReconnect()
{
    if (m_client && m_client->state() == MqttEngine::Disconnected)
        connect();
}

void MqttClient::onReceived(const QByteArray& message, const QString& topic, bool retained)
{
    if (debugEnabled())
        qDebug().noquote().nospace() << Tag << "Received on topic: " << topic << " : "
                                     << PayloadReader::masked(message, isConfidential(topic));
    dispatch(message, topic, retained);
}

void MqttClient::onError(MqttEngine::ClientError error)
{
    auto warn = [] { return qWarning().noquote().nospace() << Tag; };
    switch (error) {
    case MqttEngine::NoError:
        return;
    case MqttEngine::InvalidProtocolVersion:
        warn() << "Invalid protocol version: " << m_client->protocolVersion() << ". "
               << "Broker does not accept a connection using the " << "specified protocol version.";
        break;
    case MqttEngine::IdRejected:
        warn() << "Id rejected: " << m_client->clientId() << ". "
               << "The client ID is malformed. This might be related to " << "its length.";
        break;
    case MqttEngine::ServerUnavailable:
        warn() << "Server unavailable: " << m_client->hostname() << ":" << m_client->port() << ". "
               << "The network connection has been established, but the "
               << "service is unavailable on the broker side.";
        break;
    case MqttEngine::BadUsernameOrPassword:
        warn() << "Bad username or password. The data in the username or " << "password is malformed.";
        break;
    case MqttEngine::NotAuthorized:
        warn() << "Not authorized: " << m_client->clientId() << ". " << "The client is not authorized to connect.";
        break;
    case MqttEngine::TransportInvalid:
        warn() << "Transport invalid: " << "The underlying transport caused an error. For "
               << "example, the connection might have been interrupted " << "unexpectedly.";
        break;
    case MqttEngine::ProtocolViolation:
        warn() << "Protocol violation:" << "The client encountered a protocol violation, and "
               << "therefore closed the connection.";
        break;
    default:
        warn() << "Unknown error.";
        break;
    }
    emit this->error(QStringLiteral("Mqtt client error"));
}

} // namespace manager
