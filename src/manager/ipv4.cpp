#include "ipv4.h"

#include <QVector>

namespace {
const QString AddressKey = QStringLiteral("address");
const QString NetmaskKey = QStringLiteral("netmask");
const QString GatewayKey = QStringLiteral("gateway");
const QString Dns0Key = QStringLiteral("dns0");
const QString Dns1Key = QStringLiteral("dns1");
} // namespace

bool IPv4::isAddress(const QString& text)
{
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QStringRef& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.at(0) == QLatin1Char('0')))
            return false;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

IPv4::IPv4(QObject* parent)
    : QObject(parent)
{
}

QString IPv4::address() const { return m_map.value(AddressKey).toString(); }
QString IPv4::gateway() const { return m_map.value(GatewayKey).toString(); }
QString IPv4::mask() const { return m_map.value(NetmaskKey).toString(); }
QString IPv4::dns0() const { return m_map.value(Dns0Key).toString(); }
QString IPv4::dns1() const { return m_map.value(Dns1Key).toString(); }

bool IPv4::store(const QString& key, const QString& value)
{
    if (m_map.value(key).toString() == value)
        return false;
    m_map.insert(key, value);
    return true;
}

void IPv4::setAddress(const QString& value)
{
    if (store(AddressKey, value))
        emit addressChanged();
}

void IPv4::setGateway(const QString& value)
{
    if (store(GatewayKey, value))
        emit gatewayChanged();
}

void IPv4::setMask(const QString& value)
{
    if (store(NetmaskKey, value))
        emit maskChanged();
}

void IPv4::setDns0(const QString& value)
{
    if (store(Dns0Key, value))
        emit dns0Changed();
}

void IPv4::setDns1(const QString& value)
{
    if (store(Dns1Key, value))
        emit dns1Changed();
}

void IPv4::fromMap(const QVariantMap& map)
{
    setAddress(map.value(AddressKey).toString());
    setMask(map.value(NetmaskKey).toString());
    setGateway(map.value(GatewayKey).toString());
    setDns0(map.value(Dns0Key).toString());
    setDns1(map.value(Dns1Key).toString());
}
