#include "inspector.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

namespace manager {

namespace {
const QString InfoTopic = QStringLiteral("/info");
const QString StatusTopic = QStringLiteral("/status");
const QString AudioTopic = QStringLiteral("/audio");
const QString Internal = QStringLiteral("internal");
} // namespace

Inspector::Inspector(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_baseTopic(baseTopic)
{
    connect(&m_client, &MqttClient::connected, this, &Inspector::refresh);
    connect(&m_monitorTimer, &QTimer::timeout, this, &Inspector::refresh);
    m_shutdownTimer.setSingleShot(true);
    connect(&m_shutdownTimer, &QTimer::timeout, this, &Inspector::systemShutdown);

    qInfo().noquote().nospace() << "[Inspector] " << "Subscribing to topics";
    const QString tag = QStringLiteral("[Inspector] ");
    routeJson(m_client, m_baseTopic + InfoTopic, this, &Inspector::handleInfo, tag);
    routeJson(m_client, m_baseTopic + StatusTopic, this, &Inspector::handleStatus, tag);
    routeJson(m_client, m_baseTopic + AudioTopic, this, &Inspector::handleAudio, tag);
    // The statistics are subscribed for the service's sake and read by nobody here.
    for (const char* suffix : {"/stats/cpu", "/stats/memory", "/stats/disk"})
        m_client.subscribe(m_baseTopic + QLatin1String(suffix), 0);
}

void Inspector::publish(const QString& suffix, const QByteArray& payload)
{
    m_client.publish(payload, m_baseTopic + suffix, 0, false);
}

void Inspector::refresh()
{
    qInfo().noquote().nospace() << "[Inspector] " << "Refreshing data";
    for (const char* suffix : {"/audio/get", "/stats/memory/get", "/stats/disk/get", "/stats/cpu/get"})
        publish(QLatin1String(suffix), QByteArrayLiteral("{}"));
}

void Inspector::monitor(int msec)
{
    if (msec <= 0) {
        m_monitorTimer.stop();
        qInfo().noquote().nospace() << "[Inspector] " << "Monitor stopped";
        return;
    }
    m_monitorTimer.setInterval(msec);
    m_monitorTimer.setSingleShot(false);
    m_monitorTimer.start();
    qInfo().noquote().nospace() << "[Inspector] " << "Monitor started : " << msec << " msec(s)";
    refresh();
}

void Inspector::setAudioVolume(int value)
{
    qInfo().noquote().nospace() << "[Inspector] " << "Setting 'internal' audio volume : " << value << "%";
    const QJsonObject payload{{Internal, QJsonObject{{QStringLiteral("volume"), value}}}};
    publish(QStringLiteral("/audio/set"), QJsonDocument(payload).toJson(QJsonDocument::Indented));
}

void Inspector::audioPlay(const QString& file)
{
    qInfo().noquote().nospace() << "[Inspector] " << "Playing audio file (card='internal') : " << file;
    const QJsonObject payload{{QStringLiteral("device"), Internal}, {QStringLiteral("filepath"), file}};
    publish(QStringLiteral("/audio/play"), QJsonDocument(payload).toJson(QJsonDocument::Indented));
}

void Inspector::requestPowerLater(const QString& suffix)
{
    // The request must go out even if this proxy is gone by then, so the timer belongs to the
    // client, which outlives every proxy; it dies with the client and then sends nothing.
    auto* timer = new QTimer(&m_client);
    timer->setSingleShot(true);
    timer->setInterval(m_powerRequestDelay);
    MqttClient* client = &m_client;
    const QString topic = m_baseTopic + suffix;
    connect(timer, &QTimer::timeout, client, [client, timer, topic]() {
        client->publish(QByteArray(), topic, 0, false);
        timer->deleteLater();
    });
    timer->start();
}

void Inspector::systemReboot()
{
    qInfo().noquote().nospace() << "[Inspector] " << "Requesting System reboot";
    emit systemRebootStarted();
    requestPowerLater(QStringLiteral("/power/reboot/request/1"));
}

void Inspector::systemShutdown()
{
    qInfo().noquote().nospace() << "[Inspector] " << "Requesting System shutdown";
    emit systemShutdownStarted();
    requestPowerLater(QStringLiteral("/power/shutdown/request/1"));
}

void Inspector::scheduleShutdown(int sec)
{
    // The first countdown wins: a later ignition-off must not postpone the power-off.
    if (m_shutdownTimer.isActive())
        return;
    qInfo().noquote().nospace() << "[Inspector] " << "Scheduling System shutdown in : " << sec << " sec(s)";
    // Seconds beyond what a timer can hold are clamped to its longest countdown (about 24 days).
    const qint64 msec = qBound<qint64>(0, qint64(sec) * 1000, std::numeric_limits<int>::max());
    m_shutdownTimer.start(int(msec));
}

void Inspector::abortShutdown()
{
    if (!m_shutdownTimer.isActive())
        return;
    qInfo().noquote().nospace() << "[Inspector] " << "Aborting System shutdown";
    m_shutdownTimer.stop();
}

void Inspector::setStatus(const QString& status)
{
    if (status == m_status)
        return;
    m_status = status;
    qInfo().noquote().nospace() << "[Inspector] " << "Status changed : " << status;
    emit statusChanged();
}

void Inspector::handleStatus(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Inspector] " << "Processing status topic " << topic;
    const PayloadReader reader(payload);
    const bool service = reader.boolean(QStringLiteral("service"), m_status == QLatin1String("online"));
    if (reader.hasWrongKeys()) {
        reader.reportWrongKeys(QStringLiteral("[Inspector] "), topic);
        return;
    }
    setStatus(service ? QStringLiteral("online") : QStringLiteral("offline"));
}

void Inspector::handleInfo(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Inspector] " << "Processing info topic " << topic;
    const PayloadReader reader(payload);
    const QString versionKey = QStringLiteral("version");
    m_info.insert(versionKey, reader.object(QStringLiteral("service"))
                                      .text(versionKey, m_info.value(versionKey).toString()));
    reader.reportWrongKeys(QStringLiteral("[Inspector] "), topic);
    emit infoChanged();
}

void Inspector::handleAudio(const QJsonObject& payload, const QString& topic)
{
    const PayloadReader reader(payload);
    const int volume = reader.object(Internal).integer(QStringLiteral("volume"), m_audioVolume);
    reader.reportWrongKeys(QStringLiteral("[Inspector] "), topic);
    if (volume == m_audioVolume)
        return;
    m_audioVolume = volume;
    m_audio.insert(Internal, QVariantMap{{QStringLiteral("volume"), volume}});
    emit audioVolumeChanged();
}

} // namespace manager
