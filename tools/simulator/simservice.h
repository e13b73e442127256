#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace manager {
class MqttClient;
}

// Common ground of the simulated services: one base topic, the shared broker connection,
// tolerant request parsing and one readable log line per request. Each service answers its
// requests on its state topics, the way the real service does.
class SimService : public QObject
{
    Q_OBJECT
public:
    SimService(manager::MqttClient& client, const QString& base, const QString& tag, QObject* parent = nullptr);

    QString base() const { return m_base; }

    // Topics this service listens to; the simulator subscribes to all of them.
    virtual QStringList requestTopics() const = 0;
    // Publishes every state topic, as the service does when it starts.
    virtual void publishAll() = 0;
    // Handles one message; returns false when the topic is not one of this service's. A payload
    // that is not a JSON object is refused, a request registered with answerGet() is answered,
    // and every other request goes to handleRequest().
    bool handleMessage(const QByteArray& payload, const QString& topic);

    // Parses a request payload. An empty payload reads as an empty object; anything that is
    // not a JSON object is refused with a reason.
    static bool parseObject(const QByteArray& payload, QJsonObject* object, QString* error);
    // Compact single-line form of a payload for the log, shortened when it is long.
    static QString shortPayload(const QByteArray& payload);

protected:
    // A request that only asks for a state topic again: one log line saying what, then the state.
    void answerGet(const QString& suffix, const QString& what, std::function<void()> publish);
    // Every request of requestTopics() that is not a registered get, its payload parsed.
    virtual void handleRequest(const QString& topic, const QByteArray& payload, const QJsonObject& request) = 0;

    QString topic(const QString& suffix) const { return m_base + suffix; }
    void publish(const QString& suffix, const QJsonObject& object);
    void publishAbsolute(const QString& topic, const QJsonObject& object);
    void publishRaw(const QString& topic, const QByteArray& payload);
    void logRequest(const QString& topic, const QByteArray& payload, const QString& what) const;
    void logRefused(const QString& topic, const QByteArray& payload, const QString& why) const;
    void logEvent(const QString& text) const;

    manager::MqttClient& m_client;

private:
    struct Get
    {
        QString what;
        std::function<void()> publish;
    };

    QString m_base;
    QString m_tag;
    QHash<QString, Get> m_gets;   // by full request topic
};
