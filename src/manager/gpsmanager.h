#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QObject>
#include <QString>

#include "switchrequest.h"

namespace manager {

class MqttClient;
class PayloadReader;

// Mirrors a GPS service: receiver identity, fix state and position. Unlike the other proxies
// it has no properties; each update is handed out as a plain record in its signal, on every
// message of the service.
class GPSManager : public QObject
{
    Q_OBJECT
public:
    struct Info
    {
        QString firmware;
        QString manufacturer;
        QString model;
        QString imei;
        bool assisted = false;
        QString serviceType;
        QString serviceVersion;
    };

    struct Status
    {
        int fix = 0;
        int state = 0;
        bool simulation = false;
        QString error;
    };

    struct Telemetry
    {
        double latitude = 0;
        double longitude = 0;
        double altitude = 0;
        double direction = 0;
        double groundSpeed = 0;
        double magneticVariation = 0;
        double verticalSpeed = 0;
        double verticalAccuracy = 0;
        double horizontalAccuracy = 0;
    };

    GPSManager(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    Info info() const { return m_info; }
    Status status() const { return m_status; }
    Telemetry telemetry() const { return m_telemetry; }

    void enable() const { m_switch.enable(); }
    void disable() const { m_switch.disable(); }

    // The service sends its numbers as text: a JSON number, a non-number or an infinite value
    // reads as 0.
    static double readNumber(const QJsonValue& value);

public slots:
signals:
    void infoChanged(const manager::GPSManager::Info& info);
    void statusChanged(const manager::GPSManager::Status& status);
    void telemetryChanged(const manager::GPSManager::Telemetry& telemetry);

private:
    // Every message below the base topic, parsed.
    void onMessage(const QJsonObject& json, const QString& topic);
    void onInfoReceived(const QJsonObject& json, const QString& topic);
    void onStatusReceived(const QJsonObject& json, const QString& topic);
    void onTelemetryReceived(const QJsonObject& json);

    MqttClient& m_client;
    QString m_topic;
    SwitchRequest m_switch;
    Info m_info;
    Status m_status;
    Telemetry m_telemetry;
};

} // namespace manager

Q_DECLARE_METATYPE(manager::GPSManager::Info)
Q_DECLARE_METATYPE(manager::GPSManager::Status)
Q_DECLARE_METATYPE(manager::GPSManager::Telemetry)
