#include "validatorrfid.h"

#include "sam.h"

#include <QHash>
#include <QJsonValue>

ValidatorRfid::ValidatorRfid(QObject* parent)
    : QObject(parent)
{
}

// The SAMs are children and go with the reader, including those still waiting for their
// deferred deletion.
ValidatorRfid::~ValidatorRfid() = default;

void ValidatorRfid::fromJson(const QJsonObject& rfid)
{
    if (rfid.contains(QLatin1String("firmware"))) {
        setFirmware(rfid.value(QLatin1String("firmware")).toString());
        setModel(rfid.value(QLatin1String("model")).toString());
        setManufacturer(rfid.value(QLatin1String("manufacturer")).toString());
        setDeviceUid(rfid.value(QLatin1String("uid")).toString());
    }
    if (rfid.contains(QLatin1String("state"))) {
        setActive(rfid.value(QLatin1String("active")).toBool());
        setError(rfid.value(QLatin1String("error")).toString());
        setState(mapState(rfid.value(QLatin1String("state")).toInt()));
        setSlots(rfid.value(QLatin1String("slots")).toArray());
        setSams(rfid.value(QLatin1String("sams")).toArray());
    }
}

QString ValidatorRfid::mapState(int state)
{
    static const QHash<int, QString> names = {
        {0, QStringLiteral("Init")},
        {1, QStringLiteral("Idle")},
        {2, QStringLiteral("Searching")},
        {3, QStringLiteral("CardFound")},
        {4, QStringLiteral("Updating")},
        {5, QStringLiteral("Error")},
    };
    return names.value(state, QStringLiteral("Unknown"));
}

bool ValidatorRfid::enabled() const
{
    return m_state == QLatin1String("Searching") || m_state == QLatin1String("CardFound");
}

void ValidatorRfid::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}

void ValidatorRfid::setFirmware(const QString& firmware)
{
    if (m_firmware == firmware)
        return;
    m_firmware = firmware;
    emit firmwareChanged();
}

void ValidatorRfid::setManufacturer(const QString& manufacturer)
{
    if (m_manufacturer == manufacturer)
        return;
    m_manufacturer = manufacturer;
    emit manufacturerChanged();
}

void ValidatorRfid::setModel(const QString& model)
{
    if (m_model == model)
        return;
    m_model = model;
    emit modelChanged();
}

void ValidatorRfid::setDeviceUid(const QString& deviceUid)
{
    if (m_deviceUid == deviceUid)
        return;
    m_deviceUid = deviceUid;
    emit deviceUidChanged();
}

void ValidatorRfid::setError(const QString& error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged();
}

void ValidatorRfid::setState(const QString& state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
    // Announced with every state change, even Searching -> CardFound: bindings on `enabled`
    // re-read it and the proxy's guard never works on a stale value.
    emit enabledChanged();
}

void ValidatorRfid::setSlots(const QJsonArray& slotList)
{
    m_slots.clear();
    for (const QJsonValue& slot : slotList)
        m_slots.append(slot.toBool());
    emit numberOfSlotsChanged();
}

void ValidatorRfid::setSams(const QJsonArray& sams)
{
    // The old objects may still be bound in QML or held by a receiver of samChanged, so they
    // go through the event loop rather than at once.
    for (SAM* sam : qAsConst(m_sams))
        sam->deleteLater();
    m_sams.clear();
    for (const QJsonValue& sam : sams)
        m_sams.append(new SAM(sam.toObject(), this));
    emit samChanged();
}
