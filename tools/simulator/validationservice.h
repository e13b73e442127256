#pragma once

#include "simcard.h"
#include "simservice.h"

#include <QMap>

class QTimer;

// Plays the validation service and its two readers: "/info", "/status" and "/config" on start
// and on request, the reader enable and disable requests on the readers' absolute topics,
// configuration changes, and the passenger's actions (card taps, barcode scans, card presence,
// maintenance barcodes) that the prompt asks for.
class ValidationService : public SimService
{
    Q_OBJECT
public:
    ValidationService(manager::MqttClient& client, const QString& base, QObject* parent = nullptr);

    QStringList requestTopics() const override;
    void publishAll() override;

    // The flags of the status message's "state" object.
    static QStringList flagNames();
    bool flag(const QString& name) const { return m_flags.value(name); }
    bool setFlag(const QString& name, bool on);

    bool serviceUp() const { return m_service; }
    void setServiceUp(bool up);
    void setRfidUpdating(bool updating);
    bool rfidEnabled() const { return m_rfidEnabled; }
    bool barcodeEnabled() const { return m_barcodeEnabled; }
    // The RFID reader's state number as the status message carries it.
    int rfidState() const;

    // Passenger actions. A reader that is not switched on (the program enables it when the
    // validator is usable) or a service that is down reads nothing: the reason is returned.
    QString tapCard(bool valid, int denyId, int type);
    QString scanBarcode(bool valid, int denyId);
    QString cardFound(int cardType);
    void cardRemoved();
    QString cardRetry();
    QString readerProblem(bool rfid) const;
    void maintenanceBarcode(const QJsonObject& content);

    // Applies a "/config/set" request: numbers or numeric strings for the port and the
    // passback time, a boolean or "true"/"false" for the QR passback. All or nothing.
    bool applyConfig(const QJsonObject& request, QString* why);
    QJsonObject config() const;

    void setRemoveDelay(int msec);

private:
    void handleRequest(const QString& topic, const QByteArray& payload, const QJsonObject& request) override;
    void publishStatus();
    void publishInfo();
    void publishConfig();

    bool m_service = true;
    QMap<QString, bool> m_flags;
    bool m_rfidEnabled = false;
    bool m_rfidUpdating = false;
    bool m_cardPresent = false;
    bool m_barcodeEnabled = false;
    QString m_route = QStringLiteral("Line 12 Harbour - Old Town");
    QString m_obuHost = QStringLiteral("192.168.31.10");
    int m_obuPort = 1883;          // 0: none
    QString m_obuUsername = QStringLiteral("validator");
    QString m_obuPassword = QStringLiteral("onboard");
    int m_passbackSecs = 300;
    bool m_qrPassback = true;
    SimCard m_card;
    QTimer* m_removeTimer;
};
