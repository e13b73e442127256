#pragma once

#include "ipv4.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace manager {

// One network connection as the network service reports it: interface, state, type and the
// address it holds. The network proxy keeps the primary connection in one of these.
class Connection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString interface READ interface NOTIFY interfaceChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString type READ type NOTIFY typeChanged)
    Q_PROPERTY(IPv4* ipv4 READ ipv4 NOTIFY ipv4Changed)

public:
    explicit Connection(QObject* parent = nullptr);
    explicit Connection(const QVariantMap& map, QObject* parent = nullptr);

    QString interface() const { return m_interface; }
    QString state() const { return m_state; }
    QString type() const { return m_type; }
    IPv4* ipv4() { return &m_ipv4; }
    const IPv4* ipv4() const { return &m_ipv4; }

    // Takes "interface", "stateStr", "typeStr" and the "ipv4" map; signals only real changes.
    void fromMap(const QVariantMap& map);

signals:
    void interfaceChanged();
    void stateChanged();
    void typeChanged();
    void ipv4Changed();

private:
    QString m_interface;
    QString m_state;
    QString m_type;
    IPv4 m_ipv4;
};

} // namespace manager
