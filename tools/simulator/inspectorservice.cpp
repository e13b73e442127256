#include "inspectorservice.h"

#include <QJsonArray>

InspectorService::InspectorService(manager::MqttClient& client, const QString& base, QObject* parent)
    : SimService(client, base, QStringLiteral("[Inspector] "), parent)
{
    m_uptime.start();
    answerGet(QStringLiteral("/info/get"), QStringLiteral("info sent"), [this] { publishInfo(); });
    answerGet(QStringLiteral("/status/get"), QStringLiteral("status sent"), [this] { publishStatus(); });
    answerGet(QStringLiteral("/audio/get"), QStringLiteral("audio sent"), [this] { publishAudio(); });
    for (const QString& which : { QStringLiteral("cpu"), QStringLiteral("memory"), QStringLiteral("disk") })
        answerGet(QStringLiteral("/stats/%1/get").arg(which), QStringLiteral("%1 statistics sent").arg(which),
                  [this, which] { publishStats(which); });
}

QStringList InspectorService::requestTopics() const
{
    QStringList topics;
    for (const char* suffix : { "/info/get", "/status/get", "/audio/get", "/audio/set", "/audio/play",
                                "/stats/cpu/get", "/stats/memory/get", "/stats/disk/get", "/power/reboot/request/1",
                                "/power/shutdown/request/1" })
        topics << topic(QString::fromLatin1(suffix));
    return topics;
}

void InspectorService::publishAll()
{
    publishInfo();
    publishStatus();
    publishAudio();
}

void InspectorService::handleRequest(const QString& t, const QByteArray& payload, const QJsonObject& request)
{
    const QString suffix = t.mid(base().size());
    if (suffix == QLatin1String("/audio/set")) {
        const QJsonValue volume = request.value(QStringLiteral("internal")).toObject().value(QStringLiteral("volume"));
        if (!volume.isDouble()) {
            logRefused(t, payload, QStringLiteral("expects \"internal\".\"volume\" as a number"));
        } else {
            m_volume = qBound(0, volume.toInt(), 100);
            logRequest(t, payload, QStringLiteral("volume of 'internal' now %1%").arg(m_volume));
        }
        publishAudio();
    } else if (suffix == QLatin1String("/audio/play")) {
        const QString file = request.value(QStringLiteral("filepath")).toString();
        const QString device = request.value(QStringLiteral("device")).toString();
        if (file.isEmpty()) {
            logRefused(t, payload, QStringLiteral("expects a \"filepath\""));
            return;
        }
        m_lastPlayed = file;
        logRequest(t, payload, QStringLiteral("playing %1 on '%2' at %3%")
                                   .arg(file, device.isEmpty() ? QStringLiteral("internal") : device)
                                   .arg(m_volume));
    } else if (suffix == QLatin1String("/power/reboot/request/1")) {
        logRequest(t, payload, QStringLiteral("REBOOT requested (a desk does not reboot)"));
    } else if (suffix == QLatin1String("/power/shutdown/request/1")) {
        logRequest(t, payload, QStringLiteral("POWER-OFF requested (a desk does not power off)"));
    }
}

void InspectorService::publishInfo()
{
    publish(QStringLiteral("/info"),
            { { QStringLiteral("service"), QJsonObject { { QStringLiteral("version"), QStringLiteral("2.2.5") } } } });
}

void InspectorService::publishStatus()
{
    publish(QStringLiteral("/status"), { { QStringLiteral("service"), true } });
}

void InspectorService::publishAudio()
{
    publish(QStringLiteral("/audio"),
            { { QStringLiteral("internal"), QJsonObject { { QStringLiteral("volume"), m_volume } } } });
}

void InspectorService::publishStats(const QString& which)
{
    QJsonObject stats;
    if (which == QLatin1String("cpu")) {
        stats = { { QStringLiteral("usage"), 17 },
                  { QStringLiteral("load"), QJsonArray { 0.42, 0.38, 0.35 } },
                  { QStringLiteral("uptime"), int(m_uptime.elapsed() / 1000) } };
    } else if (which == QLatin1String("memory")) {
        stats = { { QStringLiteral("total"), 1019772 }, { QStringLiteral("used"), 402116 } };
    } else {
        stats = { { QStringLiteral("/"), QJsonObject { { QStringLiteral("total"), 7451408 },
                                                       { QStringLiteral("used"), 2209944 } } } };
    }
    publish(QStringLiteral("/stats/") + which, stats);
}
