#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include "switchrequest.h"

namespace manager {

class MqttClient;

// Proxy of the stand-alone barcode reader service: mirrors its status word and identity,
// announces every scanned barcode and switches the reader on and off. Nothing is requested
// on connection; the object waits for the service's own messages.
class BarcodeManager : public QObject
{
    Q_OBJECT
public:
    struct Info
    {
        QString firmware;
        QString manufacturer;
        QString model;
        QString type;
        QString version;
    };

    BarcodeManager(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    const Info& info() const { return m_info; }
    // "offline", "error", "enabled", "disabled", or empty before the first report.
    const QString& status() const { return m_status; }

    void enable() const { m_switch.enable(); }
    void disable() const { m_switch.disable(); }

    // The status word for one "/status" message; empty when a flag has the wrong type.
    static QString statusFor(const QJsonObject& json);

public slots:
signals:
    void statusChanged(const QString& status);
    void barcodeScanned(const QString& data);

private:
    // Every message below the base topic, parsed.
    void onMessage(const QJsonObject& json, const QString& topic);
    void onInfoReceived(const QJsonObject& json, const QString& topic);
    void onStatusReceived(const QJsonObject& json);
    void onBarcodeReceived(const QJsonObject& json);
    void setStatus(const QString& status);

    MqttClient& m_client;
    QString m_topic;
    SwitchRequest m_switch;
    QString m_status;
    Info m_info;
};

} // namespace manager
