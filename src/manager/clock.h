#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace core {
class ChildProcess;
}

namespace manager {

class MqttClient;
class PayloadReader;

// Time keeping for the region settings page. NTP belongs to the device service and is mirrored
// over MQTT (setters only publish requests; values change when the service reports them back).
// The time zone belongs to the operating system and is read with timedatectl, which can take
// seconds or hang: it runs as an asynchronous process, one at a time, and never on a getter.
// The zone list is read at construction; the zone in force is read then, on every refresh()
// (the region page calls it when it opens, and every connection does) and after each change,
// and kept; the change signals fire when a read finds something new.
class Clock : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList timezones READ timezones NOTIFY timezonesChanged)
    Q_PROPERTY(QString timezone READ timezone WRITE setTimezone NOTIFY timezoneChanged)
    Q_PROPERTY(QString ntpServer READ ntpServer WRITE setNtpServer NOTIFY ntpServerChanged)
    Q_PROPERTY(bool ntpEnabled READ ntpEnabled WRITE setNtpEnabled NOTIFY ntpEnabledChanged)
    Q_PROPERTY(bool ntpSynced READ ntpSynced NOTIFY ntpSyncedChanged)
public:
    // The object's own topic is baseTopic + "/clock/ntp".
    Clock(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);
    ~Clock() override;

    QStringList timezones() const { return m_timezones; }
    // The zone read last; empty until the first read has finished, or when it failed.
    QString timezone() const { return m_timezone; }
    void setTimezone(const QString& timezone);
    QString ntpServer() const { return m_ntpServer; }
    void setNtpServer(const QString& server);
    bool ntpEnabled() const { return m_ntpEnabled; }
    void setNtpEnabled(bool enabled);
    bool ntpSynced() const { return m_ntpSynced; }
    QString topic() const { return m_topic; }

    // A timedatectl run that has not finished after this long is killed (objectName of the
    // timer: "commandTimer").
    static constexpr int CommandTimeoutMillis = 1000;
    // True while a timedatectl run is going on or waiting.
    bool isBusy() const { return m_process || !m_jobs.isEmpty(); }

    // Output of "timedatectl --no-pager list-timezones": Latin-1 up to the first NUL, one zone
    // per line feed, empty parts kept.
    static QStringList parseTimezoneList(const QByteArray& output);
    // Zone named on the "Time zone:" line of "timedatectl status", or empty.
    static QString parseTimezone(const QByteArray& statusOutput);

public slots:
    void ntpSync();
    void refresh();

signals:
    // Every timedatectl run asked for so far has finished (tests wait for it).
    void idle();
    void timezonesChanged();
    void timezoneChanged();
    void ntpServerChanged();
    void ntpEnabledChanged();
    void ntpSyncedChanged();

private:
    void onStatusReceived(const QJsonObject& json, const QString& topic);
    void onConfigReceived(const QJsonObject& json, const QString& topic);
    void publishConfig(bool enabled, const QString& server);
    void setNtpEnabledState(bool enabled);
    void setNtpSyncedState(bool synced);
    void setNtpServerState(const QString& server);
    using Done = std::function<void(const QByteArray& output)>;
    // Queues a timedatectl run with the arguments, without a shell; done gets its standard
    // output, or an empty array when it is missing, fails to start or overruns the bound.
    void runTimedatectl(const QStringList& arguments, Done done);
    void startNextRun();
    void finishRun(const QByteArray& output);
    void onCommandTimeout();
    void readTimezone(bool announce);

    struct Run
    {
        QStringList arguments;
        Done done;
    };

    MqttClient& m_client;
    QString m_topic;
    QList<Run> m_jobs;
    core::ChildProcess* m_process = nullptr;
    QTimer m_commandTimer;
    QStringList m_timezones;
    QString m_timezone;
    // A zone read waits in the queue (not yet started); a second one would learn nothing more.
    bool m_zoneReadQueued = false;
    bool m_announceZone = false;
    QString m_ntpServer;
    bool m_ntpEnabled = false;
    bool m_ntpSynced = false;
};

} // namespace manager
