#include "boardservice.h"

#include <QJsonArray>

BoardService::BoardService(manager::MqttClient& client, const QString& base, QObject* parent)
    : SimService(client, base, QStringLiteral("[Board] "), parent)
{
    for (const char* key : { "display", "ftdi", "mPCIe1", "mPCIe2", "qrReader", "rfidReader", "touch", "usbHost1",
                             "usbHub" })
        m_power.insert(QString::fromLatin1(key), true);
    m_uptime.start();
    answerGet(QStringLiteral("/info/get"), QStringLiteral("info sent"), [this] { publishInfo(); });
    answerGet(QStringLiteral("/status/get"), QStringLiteral("status sent"), [this] { publishStatus(); });
    answerGet(QStringLiteral("/config/get"), QStringLiteral("config sent"), [this] { publishConfig(); });
    answerGet(QStringLiteral("/display/get"), QStringLiteral("display sent"), [this] { publishDisplay(); });
    answerGet(QStringLiteral("/power/get"), QStringLiteral("power sent"), [this] { publishPower(); });
    answerGet(QStringLiteral("/audio/get"), QStringLiteral("audio sent"), [this] { publishAudio(); });
}

QStringList BoardService::requestTopics() const
{
    QStringList topics;
    for (const char* suffix : { "/info/get", "/status/get", "/config/get", "/display/get", "/power/get", "/audio/get",
                                "/config/set", "/display/set", "/power/set", "/audio/set", "/led/play/request/1",
                                "/led/off/request/1", "/buzzer/play/request/1" })
        topics << topic(QString::fromLatin1(suffix));
    return topics;
}

void BoardService::publishAll()
{
    publishInfo();
    publishConfig();
    publishStatus();
    publishDisplay();
    publishPower();
    publishAudio();
}

void BoardService::setIgnition(bool on)
{
    m_ignition = on;
    logEvent(QStringLiteral("ignition ") + (on ? QStringLiteral("on") : QStringLiteral("off")));
    publish(QStringLiteral("/event"), { { QStringLiteral("name"), QStringLiteral("IgnitionChanged") },
                                        { QStringLiteral("data"), on ? 1 : 0 } });
    publishStatus();
}

QString BoardService::describeLedPattern(const QJsonObject& pattern)
{
    const QJsonValue steps = pattern.value(QStringLiteral("steps"));
    if (!steps.isArray() || !pattern.value(QStringLiteral("repeat")).isDouble())
        return QString();
    QStringList parts;
    for (const QJsonValue& step : steps.toArray()) {
        const QJsonObject color = step.toObject().value(QStringLiteral("color")).toObject();
        const auto channel = [&color](const char* name) {
            return qBound(0, color.value(QLatin1String(name)).toInt(), 255);
        };
        parts << QStringLiteral("#%1%2%3 %4 ms")
                     .arg(channel("r"), 2, 16, QLatin1Char('0'))
                     .arg(channel("g"), 2, 16, QLatin1Char('0'))
                     .arg(channel("b"), 2, 16, QLatin1Char('0'))
                     .arg(step.toObject().value(QStringLiteral("duration")).toInt());
    }
    return QStringLiteral("LEDs play %1 x [%2]")
        .arg(pattern.value(QStringLiteral("repeat")).toInt())
        .arg(parts.join(QStringLiteral(", ")));
}

void BoardService::handleRequest(const QString& t, const QByteArray& payload, const QJsonObject& request)
{
    const QString suffix = t.mid(base().size());
    if (suffix == QLatin1String("/config/set")) {
        const QJsonValue delay = request.value(QStringLiteral("device")).toObject().value(QStringLiteral("delayShutdownFor"));
        if (!delay.isDouble() || delay.toDouble() < 0 || delay.toDouble() > 86400) {
            logRefused(t, payload, QStringLiteral("\"device\".\"delayShutdownFor\" must be 0 to 86400 seconds"));
            publishConfig();
            return;
        }
        m_delayShutdownFor = delay.toInt();
        logRequest(t, payload, QStringLiteral("shutdown delay now %1 s").arg(m_delayShutdownFor));
        publishConfig();
    } else if (suffix == QLatin1String("/display/set")) {
        QStringList applied;
        const QJsonValue brightness = request.value(QStringLiteral("brightness"));
        const QJsonValue mode = request.value(QStringLiteral("mode"));
        if (brightness.isDouble()) {
            m_brightness = qBound(0, brightness.toInt(), 100);
            applied << QStringLiteral("brightness %1%").arg(m_brightness);
        }
        if (mode.toString() == QLatin1String("auto") || mode.toString() == QLatin1String("manual")) {
            m_mode = mode.toString();
            applied << QStringLiteral("mode %1").arg(m_mode);
        }
        if (applied.isEmpty())
            logRefused(t, payload, QStringLiteral("expects \"brightness\" 0-100 or \"mode\" auto/manual"));
        else
            logRequest(t, payload, QStringLiteral("display ") + applied.join(QStringLiteral(", ")));
        publishDisplay();
    } else if (suffix == QLatin1String("/power/set")) {
        QStringList applied;
        for (auto it = request.constBegin(); it != request.constEnd(); ++it) {
            if (m_power.contains(it.key()) && it.value().isBool()) {
                m_power[it.key()] = it.value().toBool();
                applied << it.key() + (it.value().toBool() ? QStringLiteral(" on") : QStringLiteral(" off"));
            }
        }
        if (applied.isEmpty())
            logRefused(t, payload, QStringLiteral("no known peripheral with a boolean value"));
        else
            logRequest(t, payload, QStringLiteral("power ") + applied.join(QStringLiteral(", ")));
        publishPower();
    } else if (suffix == QLatin1String("/audio/set")) {
        if (!request.value(QStringLiteral("mute")).isBool()) {
            logRefused(t, payload, QStringLiteral("expects a boolean \"mute\""));
        } else {
            m_mute = request.value(QStringLiteral("mute")).toBool();
            logRequest(t, payload, m_mute ? QStringLiteral("audio muted") : QStringLiteral("audio unmuted"));
        }
        publishAudio();
    } else if (suffix == QLatin1String("/led/play/request/1")) {
        const QString pattern = describeLedPattern(request);
        if (pattern.isEmpty())
            logRefused(t, payload, QStringLiteral("expects \"repeat\" and \"steps\""));
        else
            logRequest(t, payload, pattern);
    } else if (suffix == QLatin1String("/led/off/request/1")) {
        logRequest(t, payload, QStringLiteral("LEDs off"));
    } else if (suffix == QLatin1String("/buzzer/play/request/1")) {
        logRequest(t, payload, QStringLiteral("buzzer on %1 ms, off %2 ms, repeat %3")
                                   .arg(request.value(QStringLiteral("onMsec")).toInt())
                                   .arg(request.value(QStringLiteral("offMsec")).toInt())
                                   .arg(request.value(QStringLiteral("repeat")).toInt()));
    }
}

void BoardService::publishStatus()
{
    const QJsonObject device {
        { QStringLiteral("active"), true },
        { QStringLiteral("ignition"), m_ignition },
        { QStringLiteral("poleId"), QStringLiteral("P-0412") },
        { QStringLiteral("temperature"), 41.5 },
        { QStringLiteral("voltage"), m_ignition ? 27.6 : 24.3 },
        { QStringLiteral("uptime"), int(m_uptime.elapsed() / 1000) },
        { QStringLiteral("hardwareStatus"), QJsonObject { { QStringLiteral("rtcFailed"), false } } },
    };
    publish(QStringLiteral("/status"), { { QStringLiteral("service"), true }, { QStringLiteral("device"), device } });
}

void BoardService::publishInfo()
{
    publish(QStringLiteral("/info"),
            { { QStringLiteral("device"), QJsonObject { { QStringLiteral("firmwareVersion"), QStringLiteral("2.4.1") },
                                                        { QStringLiteral("hardwareId"), QStringLiteral("B7-00-13-5C") },
                                                        { QStringLiteral("hardwareVersion"), QStringLiteral("rev C") } } },
              { QStringLiteral("service"), QJsonObject { { QStringLiteral("version"), QStringLiteral("1.8.0") } } } });
}

void BoardService::publishConfig()
{
    publish(QStringLiteral("/config"),
            { { QStringLiteral("device"), QJsonObject { { QStringLiteral("delayShutdownFor"), m_delayShutdownFor } } } });
}

void BoardService::publishDisplay()
{
    // In automatic mode the backlight follows the ambient light sensor.
    const int brightness = m_mode == QLatin1String("auto") ? qBound(10, m_sensor + 20, 100) : m_brightness;
    publish(QStringLiteral("/display"), { { QStringLiteral("brightness"), brightness },
                                          { QStringLiteral("sensor"), m_sensor },
                                          { QStringLiteral("mode"), m_mode } });
}

void BoardService::publishPower()
{
    QJsonObject power;
    for (auto it = m_power.constBegin(); it != m_power.constEnd(); ++it)
        power.insert(it.key(), it.value());
    publish(QStringLiteral("/power"), power);
}

void BoardService::publishAudio()
{
    publish(QStringLiteral("/audio"), { { QStringLiteral("mute"), m_mute } });
}
