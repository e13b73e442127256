#include "deviceservice.h"

#include <QTimer>

namespace {
enum Job { None = 0, Check = 1, Install = 2 };
const int packageBytes = 5242880;
const int downloadSteps = 5;
const int installSteps = 3;

// "1.5.0" -> "1.6.0": the version a later check finds.
QString nextMinor(const QString& version)
{
    QStringList parts = version.split(QLatin1Char('.'));
    if (parts.size() < 2)
        return version + QStringLiteral(".1");
    parts[1] = QString::number(parts[1].toInt() + 1);
    for (int i = 2; i < parts.size(); ++i)
        parts[i] = QStringLiteral("0");
    return parts.join(QLatin1Char('.'));
}
} // namespace

DeviceService::DeviceService(manager::MqttClient& client, const QString& base, QObject* parent)
    : SimService(client, base, QStringLiteral("[Device] "), parent)
    , m_stepTimer(new QTimer(this))
    , m_ntpTimer(new QTimer(this))
{
    for (QTimer* timer : { m_stepTimer, m_ntpTimer }) {
        timer->setSingleShot(true);
        timer->setInterval(m_stepMillis);
    }
    connect(m_stepTimer, &QTimer::timeout, this, &DeviceService::onStep);
    connect(m_ntpTimer, &QTimer::timeout, this, &DeviceService::onNtpSynced);
    answerGet(QStringLiteral("/update/software/status/get"), QStringLiteral("software status sent"),
              [this] { publishSoftwareStatus(); });
    answerGet(QStringLiteral("/clock/ntp/status/get"), QStringLiteral("NTP status sent"), [this] { publishNtpStatus(); });
    answerGet(QStringLiteral("/clock/ntp/config/get"), QStringLiteral("NTP config sent"), [this] { publishNtpConfig(); });
}

void DeviceService::setStepMillis(int msec)
{
    m_stepMillis = qMax(0, msec);
    m_stepTimer->setInterval(m_stepMillis);
    m_ntpTimer->setInterval(m_stepMillis);
}

QStringList DeviceService::requestTopics() const
{
    QStringList topics;
    for (const char* suffix : { "/status/get", "/software/check", "/update/software/install", "/update/software/status/get",
                                "/clock/ntp/status/get", "/clock/ntp/config/get", "/clock/ntp/config/set",
                                "/clock/ntp/sync" })
        topics << topic(QString::fromLatin1(suffix));
    return topics;
}

void DeviceService::publishAll()
{
    publishDeviceStatus();
    publishSoftwareStatus();
    publishNtpConfig();
    publishNtpStatus();
}

void DeviceService::handleRequest(const QString& t, const QByteArray& payload, const QJsonObject& request)
{
    const QString suffix = t.mid(base().size());
    if (suffix == QLatin1String("/status/get")) {
        logRequest(t, payload, QStringLiteral("device status sent (current %1, pending %2)")
                                   .arg(m_current, m_pending.isEmpty() ? QStringLiteral("none") : m_pending));
        publishDeviceStatus();
    } else if (suffix == QLatin1String("/software/check")) {
        if (m_job == Install) {
            logRefused(t, payload, QStringLiteral("an installation is running"));
            return;
        }
        logRequest(t, payload, QStringLiteral("checking for updates"));
        startSteps(Check);
    } else if (suffix == QLatin1String("/update/software/install")) {
        if (m_pending.isEmpty()) {
            logRefused(t, payload, QStringLiteral("no pending version"));
            publishDeviceStatus();
            return;
        }
        if (m_job == Install) {
            logRefused(t, payload, QStringLiteral("already installing %1").arg(m_pending));
            return;
        }
        logRequest(t, payload, QStringLiteral("installing %1").arg(m_pending));
        startSteps(Install);
    } else if (suffix == QLatin1String("/clock/ntp/config/set")) {
        const QJsonValue enabled = request.value(QStringLiteral("enabled"));
        const QJsonValue server = request.value(QStringLiteral("server"));
        if (!enabled.isBool() || !server.isString()) {
            logRefused(t, payload, QStringLiteral("expects a boolean \"enabled\" and a string \"server\""));
            publishNtpConfig();
            return;
        }
        m_ntpEnabled = enabled.toBool();
        m_ntpServer = server.toString().trimmed();
        logRequest(t, payload, QStringLiteral("NTP %1, server '%2'")
                                   .arg(m_ntpEnabled ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                                        m_ntpServer));
        publishNtpConfig();
        if (!m_ntpEnabled || m_ntpServer.isEmpty()) {
            m_ntpSynced = false;
            publishNtpStatus();
        } else {
            m_ntpSynced = false;
            publishNtpStatus();
            m_ntpTimer->start();
        }
    } else if (suffix == QLatin1String("/clock/ntp/sync")) {
        if (!m_ntpEnabled || m_ntpServer.isEmpty()) {
            logRefused(t, payload, QStringLiteral("NTP is disabled or has no server"));
            m_ntpSynced = false;
            publishNtpStatus();
            return;
        }
        logRequest(t, payload, QStringLiteral("synchronising with %1").arg(m_ntpServer));
        m_ntpSynced = false;
        publishNtpStatus();
        m_ntpTimer->start();
    }
}

void DeviceService::startSteps(int kind)
{
    m_job = kind;
    m_stepCount = 0;
    m_stepTimer->start();
}

void DeviceService::onStep()
{
    ++m_stepCount;
    switch (m_job) {
    case Check:
        m_job = None;
        if (m_pending.isEmpty() && !m_available.isEmpty())
            m_pending = m_available;
        logEvent(m_pending.isEmpty() ? QStringLiteral("check finished: no pending updates")
                                     : QStringLiteral("check finished: %1 is available").arg(m_pending));
        publishSoftwareStatus();
        publishDeviceStatus();
        return;
    case Install:
        if (m_stepCount <= downloadSteps) {
            const int done = packageBytes / downloadSteps * m_stepCount;
            publishProgress(QStringLiteral("%1/%2").arg(done).arg(packageBytes), m_stepCount * 100 / downloadSteps);
        } else if (m_stepCount <= downloadSteps + installSteps) {
            const int step = m_stepCount - downloadSteps;
            publishProgress(QStringLiteral("Installing package %1 of %2").arg(step).arg(installSteps),
                            step * 100 / installSteps);
        } else {
            m_job = None;
            logEvent(QStringLiteral("installed %1").arg(m_pending));
            m_current = m_pending;
            m_pending.clear();
            m_available = nextMinor(m_current);
            publishSoftwareStatus();
            publishDeviceStatus();
            return;
        }
        m_stepTimer->start();
        return;
    default:
        m_job = None;
    }
}

void DeviceService::onNtpSynced()
{
    m_ntpSynced = m_ntpEnabled && !m_ntpServer.isEmpty();
    if (m_ntpSynced)
        logEvent(QStringLiteral("NTP synchronised with %1").arg(m_ntpServer));
    publishNtpStatus();
}

void DeviceService::publishProgress(const QString& message, int percent)
{
    logEvent(QStringLiteral("update progress %1% : %2").arg(percent).arg(message));
    publish(QStringLiteral("/update/software/progress"), { { QStringLiteral("message"), message },
                                                           { QStringLiteral("progress"), percent },
                                                           { QStringLiteral("version"), m_pending } });
}

void DeviceService::publishNtpStatus()
{
    publish(QStringLiteral("/clock/ntp/status"),
            { { QStringLiteral("enabled"), m_ntpEnabled }, { QStringLiteral("synced"), m_ntpSynced } });
}

void DeviceService::publishNtpConfig()
{
    publish(QStringLiteral("/clock/ntp/config"),
            { { QStringLiteral("enabled"), m_ntpEnabled }, { QStringLiteral("server"), m_ntpServer } });
}

void DeviceService::publishDeviceStatus()
{
    const QJsonObject software { { QStringLiteral("current"), m_current }, { QStringLiteral("pending"), m_pending } };
    publish(QStringLiteral("/status"), { { QStringLiteral("service"), true },
                                         { QStringLiteral("update"),
                                           QJsonObject { { QStringLiteral("software"), software } } } });
}

void DeviceService::publishSoftwareStatus()
{
    publish(QStringLiteral("/update/software/status"),
            { { QStringLiteral("current"), m_current }, { QStringLiteral("pending"), m_pending } });
}
