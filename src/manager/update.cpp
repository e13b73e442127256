#include "update.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>

namespace manager {

namespace {
const QString DeviceStatusSuffix = QStringLiteral("/status");
const QString UpdateStatusSuffix = QStringLiteral("/update/software/status");
const QString ProgressSuffix = QStringLiteral("/update/software/progress");
// Some service versions publish their progress under this misspelt name.
const QString ProgressMisspeltSuffix = QStringLiteral("/update/software/progess");
} // namespace

Update::Update(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_topic(baseTopic)
{
    // Parented so that tests can find it; as a member it is destroyed before the parent would.
    m_checkTimer.setParent(this);
    m_checkTimer.setObjectName(QStringLiteral("checkTimer"));
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(CheckTimeoutMillis);

    connect(&m_client, &MqttClient::connected, this, &Update::refresh);
    connect(&m_client, &MqttClient::disconnected, this, &Update::onDisconnected);
    connect(&m_checkTimer, &QTimer::timeout, this, &Update::onCheckTimeout);

    const QString tag = QStringLiteral("[Update] ");
    routeJson(m_client, m_topic + DeviceStatusSuffix, this, &Update::onDeviceStatusReceived, tag);
    routeJson(m_client, m_topic + UpdateStatusSuffix, this, &Update::onUpdateStatusReceived, tag);
    routeJson(m_client, m_topic + ProgressSuffix, this, &Update::onProgressReceived, tag);
    routeJson(m_client, m_topic + ProgressMisspeltSuffix, this, &Update::onProgressReceived, tag);
}

void Update::refresh()
{
    m_client.publish(QByteArray(), m_topic + DeviceStatusSuffix + QStringLiteral("/get"));
}

void Update::check()
{
    qInfo().noquote().nospace() << "[Update] Checking for updates";
    setStatus(QStringLiteral("Checking for updates"));
    m_checkTimer.start();
    m_client.publish(QByteArray(), m_topic + QStringLiteral("/software/check"));
}

void Update::install()
{
    if (m_pending.isEmpty()) {
        qWarning().noquote().nospace() << "[Update] WARN: Cannot install. There are no pending versions";
        return;
    }
    qInfo().noquote().nospace() << "[Update] Installing pending update : " << m_pending;
    m_client.publish(QByteArray(), m_topic + QStringLiteral("/update/software/install"));
}

void Update::onCheckTimeout()
{
    qInfo().noquote().nospace() << "[Update] No pedning updates";
    setStatusFromPending();
}

void Update::onDisconnected()
{
    // A check still waiting would otherwise replace "Disconnected" with a stale verdict.
    m_checkTimer.stop();
    setStatus(QStringLiteral("Disconnected"));
}

void Update::onDeviceStatusReceived(const QJsonObject& json, const QString& topic)
{
    // "software" is the bare current version on older services, an object on newer ones.
    const PayloadReader reader(json);
    const PayloadReader update = reader.object(QStringLiteral("update"));
    const QJsonValue software = update.json().value(QStringLiteral("software"));
    if (software.isString()) {
        setCurrent(software.toString());
    } else if (software.isObject()) {
        const PayloadReader versions = update.object(QStringLiteral("software"));
        setCurrent(versions.text(QStringLiteral("current"), m_current));
        setPending(versions.text(QStringLiteral("pending"), m_pending));
    }
    QStringList wrong = reader.wrongKeys();
    if (!software.isUndefined() && !software.isString() && !software.isObject())
        wrong << QStringLiteral("update.software");
    PayloadReader::reportWrongKeys(QStringLiteral("[Update] "), topic, wrong);
    setStatusFromPending();
    setProgressMessage(QStringLiteral("Idle"));
    setProgressPercent(0);
}

void Update::onUpdateStatusReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    setCurrent(reader.text(QStringLiteral("current"), m_current));
    setPending(reader.text(QStringLiteral("pending"), m_pending));
    reader.reportWrongKeys(QStringLiteral("[Update] "), topic);
}

void Update::onProgressReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    setProgressMessage(reader.text(QStringLiteral("message"), m_progressMessage));
    setProgressPercent(reader.integer(QStringLiteral("progress"), m_progressPercent));
    setPending(reader.text(QStringLiteral("version"), m_pending));
    reader.reportWrongKeys(QStringLiteral("[Update] "), topic);
    m_checkTimer.stop();
    // A download reports "done/total"; the installation steps report plain text.
    setStatus(m_progressMessage.contains(QLatin1Char('/')) ? QStringLiteral("Downloading") : QStringLiteral("Installing"));
}

void Update::setStatusFromPending()
{
    setStatus(m_pending.isEmpty() ? QStringLiteral("No pending updates") : QStringLiteral("Ready to install"));
}

void Update::setStatus(const QString& status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged();
}

void Update::setCurrent(const QString& current)
{
    if (current == m_current)
        return;
    m_current = current;
    emit currentChanged();
}

void Update::setPending(const QString& pending)
{
    if (pending == m_pending)
        return;
    m_pending = pending;
    emit pendingChanged();
}

void Update::setProgressMessage(const QString& message)
{
    if (message == m_progressMessage)
        return;
    m_progressMessage = message;
    emit progressMessageChanged();
}

void Update::setProgressPercent(int percent)
{
    if (percent == m_progressPercent)
        return;
    m_progressPercent = percent;
    emit progressPercentChanged();
}

} // namespace manager
