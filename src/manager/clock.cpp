#include "clock.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

namespace manager {

namespace {
const QString StatusSuffix = QStringLiteral("/status");
const QString ConfigSuffix = QStringLiteral("/config");
} // namespace

Clock::Clock(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_topic(baseTopic + QStringLiteral("/clock/ntp"))
{
    m_timezones = parseTimezoneList(runTimedatectl({QStringLiteral("--no-pager"), QStringLiteral("list-timezones")}));
    connect(&m_client, &MqttClient::connected, this, &Clock::refresh);
    // An empty payload is no message of this service. Its lines carry no tag.
    routeJson(m_client, m_topic + StatusSuffix, this, &Clock::onStatusReceived, QString(), EmptyPayload::Refused);
    routeJson(m_client, m_topic + ConfigSuffix, this, &Clock::onConfigReceived, QString(), EmptyPayload::Refused);
}

QStringList Clock::parseTimezoneList(const QByteArray& output)
{
    const int nul = output.indexOf('\0');
    const QByteArray text = nul < 0 ? output : output.left(nul);
    // No output at all (missing or hung command) is no zone, not one empty zone.
    if (text.isEmpty())
        return {};
    return QString::fromLatin1(text).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
}

QString Clock::parseTimezone(const QByteArray& statusOutput)
{
    static const QRegularExpression pattern(QStringLiteral("Time zone:\\s(.+)\\s\\("));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(statusOutput));
    return match.hasMatch() ? match.captured(1) : QString();
}

QByteArray Clock::runTimedatectl(const QStringList& arguments)
{
    // An argument list and no shell: nothing in a zone name can become a second command.
    QElapsedTimer elapsed;
    elapsed.start();
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("timedatectl"), arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(CommandTimeoutMillis)) {
        qWarning().noquote().nospace() << "WARN: Cannot run timedatectl " << arguments.join(QLatin1Char(' ')) << " : "
                                       << process.errorString();
        return {};
    }
    const int left = qMax(0, CommandTimeoutMillis - int(elapsed.elapsed()));
    if (!process.waitForFinished(left)) {
        process.kill();
        process.waitForFinished(CommandTimeoutMillis);
        qWarning().noquote().nospace() << "WARN: timedatectl " << arguments.join(QLatin1Char(' '))
                                       << " did not finish within " << CommandTimeoutMillis << " ms";
        return {};
    }
    return process.readAllStandardOutput();
}

QString Clock::timezone() const
{
    return parseTimezone(runTimedatectl({QStringLiteral("status")}));
}

void Clock::setTimezone(const QString& timezone)
{
    // The value comes straight from the page; only a zone the system itself listed may reach
    // the command line.
    if (timezone.isEmpty() || !m_timezones.contains(timezone)) {
        qWarning().noquote().nospace() << "WARN: Ignoring unknown time zone : " << timezone.left(64);
        return;
    }
    if (this->timezone() == timezone)
        return;
    qInfo().noquote().nospace() << "Setting time zone : " << timezone;
    runTimedatectl({QStringLiteral("set-timezone"), timezone});
    // Emitted whatever the outcome: the next read shows the zone really in force.
    emit timezoneChanged();
}

void Clock::setNtpServer(const QString& server)
{
    if (server == m_ntpServer)
        return;
    qInfo().noquote().nospace() << "Setting NTP server : " << server;
    publishConfig(m_ntpEnabled, server);
}

void Clock::setNtpEnabled(bool enabled)
{
    if (enabled == m_ntpEnabled)
        return;
    qInfo().noquote().nospace() << "Setting NTP : " << (enabled ? "enabled" : "disabled");
    publishConfig(enabled, m_ntpServer);
}

void Clock::publishConfig(bool enabled, const QString& server)
{
    const QJsonObject json{{QStringLiteral("enabled"), enabled}, {QStringLiteral("server"), server}};
    m_client.publish(QJsonDocument(json).toJson(QJsonDocument::Indented), m_topic + ConfigSuffix + QStringLiteral("/set"));
}

void Clock::ntpSync()
{
    qInfo().noquote().nospace() << "Requesting NTP sync";
    m_ntpSynced = false;
    emit ntpSyncedChanged();
    m_client.publish(QByteArray(), m_topic + QStringLiteral("/sync"));
}

void Clock::refresh()
{
    qInfo().noquote().nospace() << "Refreshing Clock status and config";
    m_client.publish(QByteArray(), m_topic + StatusSuffix + QStringLiteral("/get"));
    m_client.publish(QByteArray(), m_topic + ConfigSuffix + QStringLiteral("/get"));
}

void Clock::onStatusReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    setNtpEnabledState(reader.boolean(QStringLiteral("enabled"), m_ntpEnabled));
    setNtpSyncedState(reader.boolean(QStringLiteral("synced"), m_ntpSynced));
    reader.reportWrongKeys(QString(), topic);
}

void Clock::onConfigReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    setNtpEnabledState(reader.boolean(QStringLiteral("enabled"), m_ntpEnabled));
    setNtpServerState(reader.text(QStringLiteral("server"), m_ntpServer));
    reader.reportWrongKeys(QString(), topic);
}

void Clock::setNtpEnabledState(bool enabled)
{
    if (enabled == m_ntpEnabled)
        return;
    m_ntpEnabled = enabled;
    emit ntpEnabledChanged();
}

void Clock::setNtpSyncedState(bool synced)
{
    if (synced == m_ntpSynced)
        return;
    m_ntpSynced = synced;
    emit ntpSyncedChanged();
}

void Clock::setNtpServerState(const QString& server)
{
    if (server == m_ntpServer)
        return;
    m_ntpServer = server;
    emit ntpServerChanged();
}

} // namespace manager
