#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include "sam.h"

// The contactless card reader as the validation service reports it: identity, operating state,
// slots and the secure access modules. Fed by the validator proxy from its "/info" and "/status"
// messages; the proxy's enable and disable requests consult `enabled`.
class ValidatorRfid : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    Q_PROPERTY(QString firmware READ firmware NOTIFY firmwareChanged)
    Q_PROPERTY(QString manufacturer READ manufacturer NOTIFY manufacturerChanged)
    Q_PROPERTY(QString model READ model NOTIFY modelChanged)
    Q_PROPERTY(QString deviceUid READ deviceUid NOTIFY deviceUidChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(int numberOfSlots READ numberOfSlots NOTIFY numberOfSlotsChanged)
    Q_PROPERTY(SAM* sam READ sam NOTIFY samChanged)
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)

public:
    explicit ValidatorRfid(QObject* parent = nullptr);
    ~ValidatorRfid() override;

    // Applies the identity group when "firmware" is present and the status group when "state"
    // is present; the two arrive independently in info and status messages.
    void fromJson(const QJsonObject& rfid);

    static QString mapState(int state);

    bool active() const { return m_active; }
    QString firmware() const { return m_firmware; }
    QString manufacturer() const { return m_manufacturer; }
    QString model() const { return m_model; }
    QString deviceUid() const { return m_deviceUid; }
    QString error() const { return m_error; }
    QString state() const { return m_state; }
    int numberOfSlots() const { return m_slots.size(); }
    SAM* sam() const { return m_sams.isEmpty() ? nullptr : m_sams.first(); }
    // Derived from the state, never stored: the reader is looking for or holding a card.
    bool enabled() const;

    void setActive(bool active);
    void setFirmware(const QString& firmware);
    void setManufacturer(const QString& manufacturer);
    void setModel(const QString& model);
    void setDeviceUid(const QString& deviceUid);
    void setError(const QString& error);
    void setState(const QString& state);
    void setSlots(const QJsonArray& slotList);
    void setSams(const QJsonArray& sams);

signals:
    void activeChanged();
    void firmwareChanged();
    void manufacturerChanged();
    void modelChanged();
    void deviceUidChanged();
    void errorChanged();
    void stateChanged();
    void numberOfSlotsChanged();
    void samChanged();
    void enabledChanged();

private:
    bool m_active = false;
    QString m_firmware;
    QString m_manufacturer;
    QString m_model;
    QString m_deviceUid;
    QString m_error;
    QString m_state;
    QList<bool> m_slots;
    QList<SAM*> m_sams;
};
