#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Config;

namespace manager {

class MqttClient;

// The program's own service on the broker, under its base topic ("orvo/ui" by default): it
// answers "/info/get", "/status/get" and "/config/get" with "/info", "/status" and "/config",
// and applies "/config/set" to the settings store. Knows every topic and payload of that
// service, so the GUI manager only says what to publish and when.
//
// A remote "/config/set" may not change what it could not change back: the broker settings
// (the program would follow them to another broker) and the serial-number path are refused
// over MQTT and stay settable in the settings file and on the command line.
class OwnTopics : public QObject
{
    Q_OBJECT
public:
    OwnTopics(MqttClient& client, Config& config, const QString& baseTopic, QObject* parent = nullptr);

    QString baseTopic() const { return m_baseTopic; }
    // Subscribes the served topics under the new base; messages under the old one are ignored.
    void setBaseTopic(const QString& baseTopic);

    // The last will on the status topic: what subscribers read once the program is gone.
    QString willTopic() const;
    static QByteArray willMessage();

    // Settings that never travel over the broker and never reach the log in clear.
    static const QStringList& secretKeys();
    // Settings that "/config/set" refuses.
    static const QStringList& localOnlyKeys();

    // Whether a maintenance session is open, as "/status" reports it.
    bool technician() const { return m_technician; }
    void setTechnician(bool active) { m_technician = active; }

    // A further key of "/status", its value asked for each time the status is sent (so a
    // figure that is costly to compute costs nothing between requests). An undefined value
    // leaves the key out. The designed keys come first and cannot be replaced.
    using StatusSource = std::function<QJsonValue()>;
    void addStatusSource(const QString& key, StatusSource source);

    // At most this many keys are named in the one warning about an ignored request.
    static constexpr int NamedKeysInWarning = 5;

public slots:
    void publishInfo();
    // Every status is retained: the one sent on connection replaces the retained last will,
    // and each later one (a session opened or closed) replaces the one before, so a subscriber
    // arriving later reads what a "/status/get" would answer.
    void publishStatus();
    // The status of a program that stops on purpose: no session, no service; retained, as the
    // last will would have been.
    void publishStopped();
    void publishConfig();
    void onMqttReceived(const QByteArray& data, const QString& topic);

private:
    void subscribe();
    void applyConfiguration(const QByteArray& data);
    QByteArray statusPayload() const;
    QByteArray configPayload() const;

    MqttClient& m_client;
    Config& m_config;
    QString m_baseTopic;
    bool m_technician = false;
    QList<QPair<QString, StatusSource>> m_statusSources;
};

} // namespace manager
