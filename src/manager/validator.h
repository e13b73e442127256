#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>

#include "maintenancebarcode.h"
#include "transaction.h"
#include "validatorbarcode.h"
#include "validatorconfig.h"
#include "validatorrfid.h"

namespace manager {

class MqttClient;

// Mirrors the validation service. Its status report is condensed into one status word and a
// reason code that decide the passenger screen; scan results become Transaction records; the
// reader and configuration models follow the service's reports. Requests (reader enable and
// disable, configuration read and save) are only published: the models change when the service
// reports back.
class Validator : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString version READ version NOTIFY versionChanged)
    Q_PROPERTY(QString route READ route NOTIFY routeChanged)
    Q_PROPERTY(QString vehicle READ vehicle NOTIFY vehicleChanged)
    Q_PROPERTY(ValidatorConfig* config READ config NOTIFY configChanged)
    Q_PROPERTY(ValidatorBarcode* barcode READ barcode NOTIFY barcodeChanged)
    Q_PROPERTY(ValidatorRfid* rfid READ rfid NOTIFY rfidChanged)

public:
    Validator(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    QString status() const { return m_status; }
    QString reason() const { return m_reason; }
    QString reasonCode() const { return m_reasonCode; }
    QString version() const { return m_version; }
    QString route() const { return m_route; }
    QString vehicle() const { return m_vehicle; }
    ValidatorConfig* config() { return &m_config; }
    ValidatorBarcode* barcode() { return &m_barcode; }
    ValidatorRfid* rfid() { return &m_rfid; }

    // Name of a card type reported on "orvo/rfid/card/found"; the lookup is exact, so a value
    // with several bits set is "Unknown".
    static QString mapCardType(int type);

public slots:
    void enableBarcode();
    void disableBarcode();
    void enableRfid();
    void disableRfid();
    void saveConfig();
    void refreshConfig();

    void onMqttDisconnected();

signals:
    void statusChanged();
    void reasonChanged();
    void versionChanged();
    void routeChanged();
    void vehicleChanged();
    void configChanged();
    void barcodeChanged();
    void rfidChanged();

    void cardDetected(const QString& uid, const QString& type);
    void cardRemoved();
    void cardRetry();
    // The record lives only for the duration of the emission: receivers copy what they need.
    void ticketValidated(const Transaction& transaction);
    void maintenanceBarcodeScanned(const manager::MaintenanceBarcode& barcode);

private:
    void onRetryReceived(const QByteArray& data, const QString& topic);
    void onMaintenanceBarcodeReceived(const QJsonObject& data, const QString& topic);

    void onInfoReceived(const QJsonObject& info, const QString& topic);
    void onStatusReceived(const QJsonObject& status, const QString& topic);
    void onConfigReceived(const QJsonObject& config, const QString& topic);
    void onCardScannedReceived(const QJsonObject& scan, const QString& topic);
    void onBarcodeScannedReceived(const QJsonObject& scan, const QString& topic);
    void onCardFound(const QJsonObject& card, const QString& topic);

    void setStatus(const QString& status);
    void setReason(const QString& reason, const QString& code);
    void setVersion(const QString& version);
    void setRoute(const QString& route);
    void setVehicle(const QString& vehicle);

    static QUrl parseUrl(const QJsonObject& blm);

    MqttClient& m_client;
    QString m_baseTopic;
    QString m_status;
    QString m_reason;
    QString m_reasonCode;
    QString m_version;
    QString m_route;
    QString m_vehicle;
    ValidatorConfig m_config;
    ValidatorBarcode m_barcode;
    ValidatorRfid m_rfid;
};

} // namespace manager
