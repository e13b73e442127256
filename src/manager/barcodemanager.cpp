#include "barcodemanager.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>

namespace manager {

BarcodeManager::BarcodeManager(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_topic(baseTopic)
    , m_switch(client, baseTopic)
{
    // Everything below the base is parsed, handled or not: a garbled message of this service
    // is reported wherever it lands.
    routeJson(m_client, m_topic + QStringLiteral("/#"), this, &BarcodeManager::onMessage,
              QStringLiteral("[BarcodeManager] "), EmptyPayload::Refused);
}

void BarcodeManager::onMessage(const QJsonObject& json, const QString& topic)
{
    if (topic == m_topic + QStringLiteral("/info"))
        onInfoReceived(json, topic);
    else if (topic == m_topic + QStringLiteral("/status"))
        onStatusReceived(json);
    else if (topic == m_topic + QStringLiteral("/barcode"))
        onBarcodeReceived(json);
}

void BarcodeManager::onInfoReceived(const QJsonObject& json, const QString& topic)
{
    const PayloadReader reader(json);
    const PayloadReader device = reader.object(QStringLiteral("device"));
    const PayloadReader service = reader.object(QStringLiteral("service"));
    m_info.firmware = device.text(QStringLiteral("firmware"), m_info.firmware);
    m_info.manufacturer = device.text(QStringLiteral("manufacturer"), m_info.manufacturer);
    m_info.model = device.text(QStringLiteral("model"), m_info.model);
    m_info.type = service.text(QStringLiteral("type"), m_info.type);
    m_info.version = service.text(QStringLiteral("version"), m_info.version);
    reader.reportWrongKeys(QStringLiteral("[BarcodeManager] "), topic);
}

QString BarcodeManager::statusFor(const QJsonObject& json)
{
    const PayloadReader reader(json);
    const bool service = reader.boolean(QStringLiteral("service"), false);
    const PayloadReader device = reader.object(QStringLiteral("device"));
    const bool active = device.boolean(QStringLiteral("active"), false);
    const bool enabled = device.boolean(QStringLiteral("enabled"), false);
    // The word is derived from all three flags, so one garbled flag makes the whole report unusable.
    if (reader.hasWrongKeys())
        return QString();
    if (!service)
        return QStringLiteral("offline");
    if (!active)
        return QStringLiteral("error");
    return enabled ? QStringLiteral("enabled") : QStringLiteral("disabled");
}

void BarcodeManager::onStatusReceived(const QJsonObject& json)
{
    const QString status = statusFor(json);
    if (status.isEmpty()) {
        qWarning().noquote().nospace() << "[BarcodeManager] WARN: Ignoring status with wrongly typed keys";
        return;
    }
    setStatus(status);
}

void BarcodeManager::onBarcodeReceived(const QJsonObject& json)
{
    const QJsonValue data = json.value(QStringLiteral("data"));
    if (!data.isUndefined() && !data.isString()) {
        qWarning().noquote().nospace() << "[BarcodeManager] WARN: Ignoring barcode with wrongly typed key : data";
        return;
    }
    emit barcodeScanned(data.toString());
}

void BarcodeManager::setStatus(const QString& status)
{
    if (status == m_status)
        return;
    qWarning().noquote().nospace() << "[BarcodeManager] Barcode status is : " << status;
    m_status = status;
    emit statusChanged(m_status);
}

} // namespace manager
