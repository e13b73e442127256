#include "validatorbarcode.h"

#include <QJsonValue>

ValidatorBarcode::ValidatorBarcode(QObject* parent)
    : QObject(parent)
{
}

void ValidatorBarcode::fromJson(const QJsonObject& barcode)
{
    auto has = [&barcode](const char* key) { return barcode.contains(QLatin1String(key)); };
    auto value = [&barcode](const char* key) { return barcode.value(QLatin1String(key)); };

    if (has("active"))
        setActive(value("active").toBool());
    if (has("enabled"))
        setEnabled(value("enabled").toBool());
    if (has("firmware"))
        setFirmware(value("firmware").toString());
    if (has("manufacturer"))
        setManufacturer(value("manufacturer").toString());
    if (has("model"))
        setModel(value("model").toString());
}

void ValidatorBarcode::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}

void ValidatorBarcode::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged();
}

void ValidatorBarcode::setFirmware(const QString& firmware)
{
    if (m_firmware == firmware)
        return;
    m_firmware = firmware;
    emit firmwareChanged();
}

void ValidatorBarcode::setManufacturer(const QString& manufacturer)
{
    if (m_manufacturer == manufacturer)
        return;
    m_manufacturer = manufacturer;
    emit manufacturerChanged();
}

void ValidatorBarcode::setModel(const QString& model)
{
    if (m_model == model)
        return;
    m_model = model;
    emit modelChanged();
}
