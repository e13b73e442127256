#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

namespace manager {

class MqttClient;
class PayloadReader;

// Time keeping for the region settings page. NTP belongs to the device service and is mirrored
// over MQTT (setters only publish requests; values change when the service reports them back).
// The time zone belongs to the operating system: it is read from timedatectl on every access
// and never cached, so the page always shows what is really in force.
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

    QStringList timezones() const { return m_timezones; }
    QString timezone() const;
    void setTimezone(const QString& timezone);
    QString ntpServer() const { return m_ntpServer; }
    void setNtpServer(const QString& server);
    bool ntpEnabled() const { return m_ntpEnabled; }
    void setNtpEnabled(bool enabled);
    bool ntpSynced() const { return m_ntpSynced; }
    QString topic() const { return m_topic; }

    // Every timedatectl run blocks the caller at most this long.
    static constexpr int CommandTimeoutMillis = 1000;

    // Output of "timedatectl --no-pager list-timezones": Latin-1 up to the first NUL, one zone
    // per line feed, empty parts kept.
    static QStringList parseTimezoneList(const QByteArray& output);
    // Zone named on the "Time zone:" line of "timedatectl status", or empty.
    static QString parseTimezone(const QByteArray& statusOutput);

public slots:
    void ntpSync();
    void refresh();

signals:
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
    // Runs timedatectl with the arguments, without a shell; returns its standard output, or an
    // empty array when it is missing or overruns the bound (it is then killed).
    static QByteArray runTimedatectl(const QStringList& arguments);

    MqttClient& m_client;
    QString m_topic;
    QStringList m_timezones;
    QString m_ntpServer;
    bool m_ntpEnabled = false;
    bool m_ntpSynced = false;
};

} // namespace manager
