#pragma once

#include "ipv4.h"

#include <QObject>
#include <QString>

namespace manager {

class MqttClient;
class PayloadReader;

// Mirrors the wired interface of the network service: its live state and address (`ipv4`) and
// its stored configuration (`method`, `config`). The maintenance screens and configuration
// barcodes edit `method` and `config` locally and send them with save(); the service's next
// "/config" report overwrites unsaved edits. Created by the network proxy.
class Ethernet : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString interface READ interface NOTIFY interfaceChanged)
    Q_PROPERTY(QString type READ type NOTIFY typeChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString mac READ mac NOTIFY macChanged)
    Q_PROPERTY(QString method READ method WRITE setMethod NOTIFY methodChanged)
    Q_PROPERTY(IPv4* ipv4 READ ipv4 NOTIFY ipv4Changed)
    Q_PROPERTY(IPv4* config READ config NOTIFY configChanged)

public:
    // topic: the network service's base topic followed by "/ethernet".
    Ethernet(MqttClient& client, const QString& topic, QObject* parent = nullptr);

    QString interface() const { return m_interface; }
    QString type() const { return m_type; }
    QString state() const { return m_state; }
    QString reason() const { return m_reason; }
    QString mac() const { return m_mac; }
    QString method() const { return m_method; }
    IPv4* ipv4() { return &m_ipv4; }
    IPv4* config() { return &m_config; }

    // Local edit only; the service hears of it with the next save().
    void setMethod(const QString& method);

public slots:
    void save();
    void reset();

signals:
    void interfaceChanged();
    void typeChanged();
    void stateChanged();
    void reasonChanged();
    void macChanged();
    void methodChanged();
    void ipv4Changed();
    void configChanged();

private:
    void handleState(const QJsonObject& payload, const QString& topic);
    void handleConfig(const QJsonObject& payload, const QString& topic);
    void updateText(QString& stored, const QString& value, const char* label, void (Ethernet::*signal)());

    MqttClient& m_client;
    QString m_topic;
    QString m_interface;
    QString m_type;
    QString m_state;
    QString m_reason;
    QString m_mac;
    QString m_method;
    IPv4 m_ipv4;
    IPv4 m_config;
};

} // namespace manager
