#include "gpsmanager.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
#include <QJsonValue>

#include <cmath>

namespace manager {

GPSManager::GPSManager(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_topic(baseTopic)
    , m_switch(client, baseTopic)
{
    qRegisterMetaType<manager::GPSManager::Info>();
    qRegisterMetaType<manager::GPSManager::Status>();
    qRegisterMetaType<manager::GPSManager::Telemetry>();
    // Everything below the base is parsed, handled or not: a garbled message of this service
    // is reported wherever it lands.
    routeJson(m_client, m_topic + QStringLiteral("/#"), this, &GPSManager::onMessage,
              QStringLiteral("[GPSManager] "), EmptyPayload::Refused);
}

void GPSManager::onMessage(const QJsonObject& json, const QString& topic)
{
    if (topic == m_topic + QStringLiteral("/info"))
        onInfoReceived(json, topic);
    else if (topic == m_topic + QStringLiteral("/status"))
        onStatusReceived(json, topic);
    else if (topic == m_topic + QStringLiteral("/data"))
        onTelemetryReceived(json);
}

void GPSManager::onInfoReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    const PayloadReader device = reader.object(QStringLiteral("device"));
    const PayloadReader service = reader.object(QStringLiteral("service"));
    m_info.firmware = device.text(QStringLiteral("firmware"), m_info.firmware);
    m_info.manufacturer = device.text(QStringLiteral("manufacturer"), m_info.manufacturer);
    m_info.model = device.text(QStringLiteral("model"), m_info.model);
    m_info.imei = device.text(QStringLiteral("imei"), m_info.imei);
    m_info.assisted = device.boolean(QStringLiteral("assisted"), m_info.assisted);
    m_info.serviceType = service.text(QStringLiteral("type"), m_info.serviceType);
    m_info.serviceVersion = service.text(QStringLiteral("version"), m_info.serviceVersion);
    reader.reportWrongKeys(QStringLiteral("[GPSManager] "), topic);
    emit infoChanged(m_info);
}

void GPSManager::onStatusReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    const QJsonValue service = json.value(QStringLiteral("service"));
    if (!service.isUndefined() && !service.isBool()) {
        // Whether the service runs at all is unknown: keep the last record.
        qWarning().noquote().nospace() << "[GPSManager] WARN: Ignoring status with wrongly typed key : service";
        return;
    }
    if (service.toBool()) {
        const PayloadReader device = reader.object(QStringLiteral("device"));
        m_status.fix = device.integer(QStringLiteral("fix"), m_status.fix);
        m_status.state = device.integer(QStringLiteral("state"), m_status.state);
        // null is how the service says "no error".
        if (device.json().value(QStringLiteral("error")).isNull())
            m_status.error.clear();
        else
            m_status.error = device.text(QStringLiteral("error"), m_status.error);
        m_status.simulation = device.boolean(QStringLiteral("simulation"), m_status.simulation);
        reader.reportWrongKeys(QStringLiteral("[GPSManager] "), topic);
    } else {
        m_status.fix = 0;
        m_status.state = -1;
        m_status.error = QStringLiteral("Manager is offline");
        m_status.simulation = false;
    }
    emit statusChanged(m_status);
}

double GPSManager::readNumber(const QJsonValue& value)
{
    bool ok = false;
    const double number = value.toString().toDouble(&ok);
    return ok && std::isfinite(number) ? number : 0.0;
}

void GPSManager::onTelemetryReceived(const QJsonObject& json)
{
    const auto read = [&json](const char* key) { return readNumber(json.value(QLatin1String(key))); };
    m_telemetry.latitude = read("latitude");
    m_telemetry.longitude = read("longitude");
    m_telemetry.altitude = read("altitude");
    m_telemetry.direction = read("direction");
    m_telemetry.groundSpeed = read("groundSpeed");
    m_telemetry.magneticVariation = read("magneticVariation");
    m_telemetry.verticalSpeed = read("verticalSpeed");
    m_telemetry.verticalAccuracy = read("verticalAccuracy");
    m_telemetry.horizontalAccuracy = read("horizontalAccuracy");
    emit telemetryChanged(m_telemetry);
}

} // namespace manager
