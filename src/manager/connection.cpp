#include "connection.h"

namespace manager {

Connection::Connection(QObject* parent)
    : QObject(parent)
{
}

Connection::Connection(const QVariantMap& map, QObject* parent)
    : QObject(parent)
{
    fromMap(map);
}

void Connection::fromMap(const QVariantMap& map)
{
    const QString interface = map.value(QStringLiteral("interface")).toString();
    if (interface != m_interface) {
        m_interface = interface;
        emit interfaceChanged();
    }
    const QString state = map.value(QStringLiteral("stateStr")).toString();
    if (state != m_state) {
        m_state = state;
        emit stateChanged();
    }
    const QString type = map.value(QStringLiteral("typeStr")).toString();
    if (type != m_type) {
        m_type = type;
        emit typeChanged();
    }
    const QVariantMap ipv4 = map.value(QStringLiteral("ipv4")).toMap();
    if (ipv4 != m_ipv4.toMap()) {
        m_ipv4.fromMap(ipv4);
        emit ipv4Changed();
    }
}

} // namespace manager
