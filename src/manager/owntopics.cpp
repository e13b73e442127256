#include "owntopics.h"

#include "config.h"
#include "mqttclient.h"
#include "secretmask.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QVariant>


namespace manager {

namespace {

const QString Tag = QStringLiteral("[GUIManager] ");
const QString InfoGet = QStringLiteral("/info/get");
const QString StatusGet = QStringLiteral("/status/get");
const QString ConfigGet = QStringLiteral("/config/get");
const QString ConfigSet = QStringLiteral("/config/set");
const QString Info = QStringLiteral("/info");
const QString Status = QStringLiteral("/status");
const QString ConfigTopic = QStringLiteral("/config");
const QString ScreenshotGet = QStringLiteral("/screenshot/get");
const QString Screenshot = QStringLiteral("/screenshot");
const QString DiagnosticsTopic = QStringLiteral("/diagnostics");
const QString LoginScreen = QStringLiteral("Login");

QByteArray toPayload(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

// "3 (a, b, c)" or "12 (a, b, c, d, e, ...)": enough to recognise the request in the log,
// bounded whatever the request holds. Names are cut short for the same reason.
QString summary(const QStringList& keys)
{
    QStringList named;
    for (int i = 0; i < keys.size() && i < OwnTopics::NamedKeysInWarning; ++i) {
        QString key = keys.at(i);
        if (key.size() > 64)
            key = key.left(64) + QStringLiteral("...");
        named << key;
    }
    if (keys.size() > named.size())
        named << QStringLiteral("...");
    return QStringLiteral("%1 (%2)").arg(keys.size()).arg(named.join(QStringLiteral(", ")));
}

// A text from a service or a technician's answer, cut to the published length. A pair of
// UTF-16 halves is never split.
QString bounded(const QString& text)
{
    if (text.size() <= OwnTopics::DiagnosticsTextChars)
        return text;
    int length = OwnTopics::DiagnosticsTextChars;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

const QString OwnTopics::RefusedLogin = QStringLiteral("not while a PIN is entered");
const QString OwnTopics::RefusedSecret = QStringLiteral("not while a secret is shown");
const QString OwnTopics::RefusedInterval = QStringLiteral("at most one screenshot every 2 s");

OwnTopics::OwnTopics(MqttClient& client, Config& config, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_config(config)
    , m_baseTopic(baseTopic)
{
    m_started.start();
    m_clock = [this] { return m_started.elapsed(); };
    m_screenStatusTimer.setSingleShot(true);
    m_screenStatusTimer.setInterval(ScreenStatusIntervalMs);
    connect(&m_screenStatusTimer, &QTimer::timeout, this, &OwnTopics::onScreenStatusTimeout);
    m_wallClock = [] { return QDateTime::currentDateTimeUtc(); };
    // Publications while offline are dropped by the client, so the beat simply goes on.
    m_heartbeatTimer.setInterval(StatusHeartbeatMs);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &OwnTopics::publishStatus);
    subscribe();
}

void OwnTopics::setBaseTopic(const QString& baseTopic)
{
    if (baseTopic == m_baseTopic)
        return;
    m_baseTopic = baseTopic;
    subscribe();
}

QString OwnTopics::willTopic() const
{
    return m_baseTopic + Status;
}

QByteArray OwnTopics::willMessage()
{
    return QByteArrayLiteral("{\"service\": false}");
}

const QStringList& OwnTopics::secretKeys()
{
    static const QStringList keys { QStringLiteral("mqtt/password"), QStringLiteral("gui/settingsPin") };
    return keys;
}

const QStringList& OwnTopics::localOnlyKeys()
{
    static const QStringList keys { QStringLiteral("gui/deviceId") };
    return keys;
}

void OwnTopics::subscribe()
{
    // The client records the subscriptions and sends them once on every connection (and at
    // once when connected already). Routes under an earlier base end here; the broker may
    // still deliver there until the next connection, and nothing listens.
    m_client.unroute(this);
    for (const QString& suffix : { InfoGet, StatusGet, ConfigGet, ConfigSet, ScreenshotGet }) {
        m_client.route(m_baseTopic + suffix, this, &OwnTopics::onMqttReceived);
        // A request left retained on a broker would be acted on again at every connection.
        m_client.setLiveOnly(m_baseTopic + suffix);
    }
    // A settings request may carry the PIN in any garbled form.
    m_client.setConfidential(m_baseTopic + ConfigSet);
    m_client.setConfidential(m_baseTopic + ConfigTopic);
}

void OwnTopics::onMqttReceived(const QByteArray& data, const QString& topic)
{
    // A base with wildcards in it routes more than our four topics: only the exact ones count.
    const QStringRef suffix = topic.startsWith(m_baseTopic) ? topic.midRef(m_baseTopic.size()) : QStringRef();
    if (suffix != InfoGet && suffix != StatusGet && suffix != ConfigGet && suffix != ConfigSet
        && suffix != ScreenshotGet)
        return;
    qInfo().noquote().nospace() << Tag << "Message received : " << topic;

    if (suffix == InfoGet)
        publishInfo();
    else if (suffix == StatusGet)
        publishStatus();
    else if (suffix == ConfigGet)
        publishConfig();
    else if (suffix == ScreenshotGet)
        onScreenshotRequest();
    else
        applyConfiguration(data);
}

void OwnTopics::onScreenshotRequest()
{
    // The Login page shows the PIN as it is typed, the validator's settings the on-board
    // computer's password: a picture of either would hand it to whoever reads the depot's topics.
    const qint64 now = m_clock();
    const QString refusal = screenRefusal();
    if (!refusal.isEmpty()) {
        refuseScreenshot(refusal, now);
        return;
    }
    // A picture costs the GUI thread a grab and the link 200 KB: one every two seconds, and
    // one warning per refused burst, however many requests it holds.
    if (m_lastScreenshotMs >= 0 && now - m_lastScreenshotMs < ScreenshotIntervalMs) {
        if (!m_screenshotRefusalLogged) {
            qWarning().noquote().nospace() << Tag << "WARN: Screenshot request refused: at most one every "
                                           << ScreenshotIntervalMs / 1000 << " s";
            m_screenshotRefusalLogged = true;
        }
        refuseScreenshot(RefusedInterval, now);
        return;
    }
    m_lastScreenshotMs = now;
    m_screenshotRefusalLogged = false;
    emit screenshotRequested();
}

bool OwnTopics::refuseScreenshot(const QString& reason, qint64 now)
{
    // Each reason is answered at most once per interval, so a flood of requests costs the
    // link a handful of answers.
    const auto last = m_screenshotRefusals.constFind(reason);
    if (last != m_screenshotRefusals.cend() && now - *last < ScreenshotIntervalMs)
        return false;
    m_screenshotRefusals.insert(reason, now);
    if (reason == RefusedLogin || reason == RefusedSecret)
        qWarning().noquote().nospace() << Tag << "WARN: Screenshot request refused: " << reason;
    m_client.publish(toPayload(QJsonObject { { QStringLiteral("refused"), reason } }), m_baseTopic + Screenshot);
    return true;
}

QString OwnTopics::screenRefusal() const
{
    if (m_screen == LoginScreen)
        return RefusedLogin;
    if (m_secretShown)
        return RefusedSecret;
    return QString();
}

void OwnTopics::setScreen(const QString& name)
{
    if (name == m_screen)
        return;
    m_screen = name;
    // The first change goes out at once; changes during the pause after it wait for its end,
    // and then only the screen shown at that moment is published.
    if (m_screenStatusTimer.isActive()) {
        m_screenStatusPending = true;
        return;
    }
    publishStatus();
    m_screenStatusTimer.start();
}

void OwnTopics::onScreenStatusTimeout()
{
    // Stopped already when the timer runs this; a test driving it by hand ends the pause too.
    m_screenStatusTimer.stop();
    if (!m_screenStatusPending)
        return;
    publishStatus();
    m_screenStatusTimer.start();
}

void OwnTopics::applyConfiguration(const QByteArray& data)
{
    // The payload is not logged: it may carry the PIN.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qWarning().noquote().nospace() << Tag << "WARN: Ignoring configuration request: "
                                       << (error.error != QJsonParseError::NoError ? error.errorString()
                                                                                  : QStringLiteral("not an object"));
        return;
    }
    // Settings the program has go on to the store, whose own check (the one every writer
    // meets: type, range) refuses a bad value with a line of its own; what is no setting, or
    // may not be set from here, is reported in one line per kind, however large the request.
    const QStringList known = m_config.keys();
    const QJsonObject request = document.object();
    QJsonObject accepted;
    QStringList refused;
    QStringList ignored;
    for (auto group = request.constBegin(); group != request.constEnd(); ++group) {
        if (!group.value().isObject()) {
            ignored << group.key();
            continue;
        }
        const QJsonObject members = group.value().toObject();
        // Under a group named like a secret ("adminPin"), the member names are part of its value.
        const bool secretGroup = SecretMask::isSecretKey(group.key());
        QJsonObject kept;
        for (auto member = members.constBegin(); member != members.constEnd(); ++member) {
            const QString key = group.key() + QLatin1Char('/') + member.key();
            const QString shown = secretGroup ? group.key() + QLatin1Char('/') + SecretMask::Mask : key;
            if (!known.contains(key)) {
                ignored << shown;
                continue;
            }
            if (group.key() == QLatin1String("mqtt") || localOnlyKeys().contains(key)) {
                refused << shown;
                continue;
            }
            kept.insert(member.key(), member.value());
        }
        if (!kept.isEmpty())
            accepted.insert(group.key(), kept);
    }
    if (!refused.isEmpty()) {
        qWarning().noquote().nospace() << Tag << "WARN: Refusing over MQTT (settings file or command line only) : "
                                       << refused.join(QStringLiteral(", "));
    }
    if (!ignored.isEmpty()) {
        qWarning().noquote().nospace() << Tag << "WARN: Ignoring unknown or invalid configuration entries : "
                                       << summary(ignored);
    }
    m_config.fromJson(accepted);
}

void OwnTopics::publishInfo()
{
    // Retained, like the configuration: a depot page that opens later reads the version of
    // every vehicle without asking each one.
    m_client.publish(toPayload(QJsonObject { { QStringLiteral("version"), QCoreApplication::applicationVersion() } }),
                     m_baseTopic + Info, 0, true);
}

void OwnTopics::publishStatus()
{
    // Whatever the reason for this publication, it carries the latest screen.
    m_screenStatusPending = false;
    m_heartbeatTimer.start();
    m_client.publish(statusPayload(), m_baseTopic + Status, 0, true);
}

void OwnTopics::publishStopped()
{
    m_technician = false;
    m_heartbeatTimer.stop();
    m_client.publish(toPayload(QJsonObject { { QStringLiteral("technician"), false },
                                             { QStringLiteral("service"), false },
                                             { QStringLiteral("time"), m_wallClock().toUTC().toString(Qt::ISODate) } }),
                     m_baseTopic + Status, 0, true);
}

void OwnTopics::publishConfig()
{
    m_client.publish(configPayload(), m_baseTopic + ConfigTopic, 0, true);
}

void OwnTopics::publishScreenshot(const QByteArray& png)
{
    // A grab waits for the frame of a new screen: the Login page (or a page with a secret) may
    // have come up since the request was accepted.
    const QString refusal = screenRefusal();
    if (!refusal.isEmpty()) {
        refuseScreenshot(refusal, m_clock());
        return;
    }
    m_client.publish(png, m_baseTopic + Screenshot);
}

void OwnTopics::publishDiagnostics(const QVariantMap& report)
{
    const QVariantMap given = report.value(QStringLiteral("values")).toMap();
    QJsonObject values;
    for (auto value = given.constBegin(); value != given.constEnd() && values.size() < DiagnosticsValues; ++value)
        values.insert(bounded(value.key()), bounded(value.value().toString()));
    const bool passed = report.value(QStringLiteral("result")).toString() == QLatin1String("pass");
    const QDateTime time = report.value(QStringLiteral("time")).toDateTime().toUTC();
    QJsonObject payload {
        { QStringLiteral("deviceId"), bounded(report.value(QStringLiteral("deviceId")).toString()) },
        { QStringLiteral("time"), time.toString(Qt::ISODate) },
        { QStringLiteral("result"), passed ? QStringLiteral("pass") : QStringLiteral("fail") },
        { QStringLiteral("values"), values },
    };
    // The same instant as a number: metric collectors read numbers only, and the depot's alert on
    // an old self-test needs the test's own time, not when the retained report reached them.
    if (time.isValid())
        payload.insert(QStringLiteral("timeSec"), double(time.toSecsSinceEpoch()));
    m_diagnostics = toPayload(payload);
    republishDiagnostics();
}

void OwnTopics::republishDiagnostics()
{
    if (!m_diagnostics.isEmpty())
        m_client.publish(m_diagnostics, m_baseTopic + DiagnosticsTopic, 1, true);
}

void OwnTopics::addStatusSource(const QString& key, StatusSource source)
{
    m_statusSources.append({ key, std::move(source) });
}

QByteArray OwnTopics::statusPayload() const
{
    QJsonObject status { { QStringLiteral("technician"), m_technician },
                         { QStringLiteral("service"), true },
                         { QStringLiteral("screen"), m_screen },
                         { QStringLiteral("uptimeSec"), double(m_clock() / 1000) },
                         { QStringLiteral("resultsShown"), m_resultsShown },
                         { QStringLiteral("time"), m_wallClock().toUTC().toString(Qt::ISODate) } };
    for (const auto& source : m_statusSources) {
        if (status.contains(source.first))
            continue;
        const QJsonValue value = source.second();
        if (!value.isUndefined())
            status.insert(source.first, value);
    }
    return toPayload(status);
}

QByteArray OwnTopics::configPayload() const
{
    // The maintenance PIN and the broker password never travel over the broker;
    // "/config/set" may still set the PIN.
    QJsonObject config = m_config.toJson();
    for (const QString& key : secretKeys()) {
        const QString group = key.section(QLatin1Char('/'), 0, 0);
        QJsonObject members = config.value(group).toObject();
        members.remove(key.section(QLatin1Char('/'), 1));
        config.insert(group, members);
    }
    return toPayload(config);
}

} // namespace manager
