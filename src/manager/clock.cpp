#include "clock.h"

#include "childprocess.h"
#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
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
    // Parented so that tests can find it; as a member it is destroyed before the parent would.
    m_commandTimer.setParent(this);
    m_commandTimer.setObjectName(QStringLiteral("commandTimer"));
    m_commandTimer.setSingleShot(true);
    m_commandTimer.setInterval(CommandTimeoutMillis);
    connect(&m_commandTimer, &QTimer::timeout, this, &Clock::onCommandTimeout);

    runTimedatectl({QStringLiteral("--no-pager"), QStringLiteral("list-timezones")}, [this](const QByteArray& output) {
        const QStringList zones = parseTimezoneList(output);
        if (zones == m_timezones)
            return;
        m_timezones = zones;
        emit timezonesChanged();
    });
    readTimezone(false);
    connect(&m_client, &MqttClient::connected, this, &Clock::refresh);
    // An empty payload is no message of this service. Its lines carry no tag.
    routeJson(m_client, m_topic + StatusSuffix, this, &Clock::onStatusReceived, QString(), EmptyPayload::Refused);
    routeJson(m_client, m_topic + ConfigSuffix, this, &Clock::onConfigReceived, QString(), EmptyPayload::Refused);
}

Clock::~Clock()
{
    m_jobs.clear();
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->kill())
            m_process->waitForFinished(CommandTimeoutMillis);
    }
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

void Clock::runTimedatectl(const QStringList& arguments, Done done)
{
    m_jobs.append(Run{arguments, std::move(done)});
    if (!m_process)
        startNextRun();
}

void Clock::startNextRun()
{
    if (m_jobs.isEmpty()) {
        emit idle();
        return;
    }
    // An argument list and no shell: nothing in a zone name can become a second command.
    const QStringList arguments = m_jobs.first().arguments;
    if (arguments == QStringList{QStringLiteral("status")})
        m_zoneReadQueued = false;
    m_process = new core::ChildProcess(this);
    m_process->setStandardInputFile(QProcess::nullDevice());
    core::ChildProcess* const process = m_process;
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, process] { if (process == m_process) finishRun(process->readAllStandardOutput()); });
    connect(process, &QProcess::errorOccurred, this, [this, process, arguments](QProcess::ProcessError error) {
        if (process != m_process || error != QProcess::FailedToStart)
            return;
        qWarning().noquote().nospace() << "WARN: Cannot run timedatectl " << arguments.join(QLatin1Char(' ')) << " : "
                                       << process->errorString();
        finishRun({});
    });
    m_commandTimer.start();
    m_process->start(QStringLiteral("timedatectl"), arguments, QIODevice::ReadOnly);
}

void Clock::onCommandTimeout()
{
    if (!m_process || m_jobs.isEmpty())
        return;
    qWarning().noquote().nospace() << "WARN: timedatectl " << m_jobs.first().arguments.join(QLatin1Char(' '))
                                   << " did not finish within " << CommandTimeoutMillis << " ms";
    finishRun({});
}

void Clock::finishRun(const QByteArray& output)
{
    m_commandTimer.stop();
    core::ChildProcess* const process = m_process;
    m_process = nullptr;
    if (process) {
        process->disconnect(this);
        // A hung run is killed; the process object goes once the child is reaped.
        if (process->state() != QProcess::NotRunning) {
            connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process, &QObject::deleteLater);
            process->kill();
        } else {
            process->deleteLater();
        }
    }
    const Run run = m_jobs.takeFirst();
    run.done(output);
    startNextRun();
}

void Clock::readTimezone(bool announce)
{
    m_announceZone = m_announceZone || announce;
    if (m_zoneReadQueued)
        return;
    m_zoneReadQueued = true;
    runTimedatectl({QStringLiteral("status")}, [this](const QByteArray& output) {
        const QString zone = parseTimezone(output);
        const bool announce = m_announceZone;
        m_announceZone = false;
        if (zone == m_timezone && !announce)
            return;
        m_timezone = zone;
        emit timezoneChanged();
    });
}

void Clock::setTimezone(const QString& timezone)
{
    // The value comes straight from the page; only a zone the system itself listed may reach
    // the command line.
    if (timezone.isEmpty() || !m_timezones.contains(timezone)) {
        qWarning().noquote().nospace() << "WARN: Ignoring unknown time zone : " << timezone.left(64);
        return;
    }
    if (m_timezone == timezone)
        return;
    qInfo().noquote().nospace() << "Setting time zone : " << timezone;
    runTimedatectl({QStringLiteral("set-timezone"), timezone}, [](const QByteArray&) {});
    // Announced whatever the outcome, once the zone in force has been read again: a page
    // that showed the user's choice goes back to the real zone if the change failed.
    readTimezone(true);
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
    readTimezone(false);
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
