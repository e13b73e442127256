#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// Five address settings of a network interface (address, netmask, gateway, two name servers),
// kept as the map the network service sends and expects. Held by connections and by the
// Ethernet proxy; QML reads and edits its fields.
class IPv4 : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString address READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(QString gateway READ gateway WRITE setGateway NOTIFY gatewayChanged)
    Q_PROPERTY(QString mask READ mask WRITE setMask NOTIFY maskChanged)
    Q_PROPERTY(QString dns0 READ dns0 WRITE setDns0 NOTIFY dns0Changed)
    Q_PROPERTY(QString dns1 READ dns1 WRITE setDns1 NOTIFY dns1Changed)

public:
    explicit IPv4(QObject* parent = nullptr);

    QString address() const;
    QString gateway() const;
    // Stored under "netmask", the service's name for it.
    QString mask() const;
    QString dns0() const;
    QString dns1() const;

    void setAddress(const QString& value);
    void setGateway(const QString& value);
    void setMask(const QString& value);
    void setDns0(const QString& value);
    void setDns1(const QString& value);

    // Four numbers 0 to 255 without leading zeros, joined by dots ("10.0.0.5"): what the
    // network service takes for any of the five fields.
    static bool isAddress(const QString& text);

    QVariantMap toMap() const { return m_map; }
    // Applies the five keys through the setters, so only real changes are signalled; a key
    // the map lacks reads as empty.
    void fromMap(const QVariantMap& map);

signals:
    void addressChanged();
    void maskChanged();
    void gatewayChanged();
    void dns0Changed();
    void dns1Changed();

private:
    bool store(const QString& key, const QString& value);

    QVariantMap m_map;
};
