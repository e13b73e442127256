#pragma once

#include "simservice.h"

#include <QElapsedTimer>
#include <QMap>

// Plays the board service: ignition, pole id, temperature and voltage on "/status", the
// display, peripheral power and audio mute with their "/set" requests, the shutdown delay on
// "/config", and LED and buzzer requests, which a desk has no hardware for and only logs.
class BoardService : public SimService
{
    Q_OBJECT
public:
    BoardService(manager::MqttClient& client, const QString& base, QObject* parent = nullptr);

    QStringList requestTopics() const override;
    void publishAll() override;

    bool ignition() const { return m_ignition; }
    // Turns the ignition input: an "IgnitionChanged" event, then the new status.
    void setIgnition(bool on);
    int delayShutdownFor() const { return m_delayShutdownFor; }

    // One readable description of an LED pattern request, or an empty string when the
    // payload is not a pattern.
    static QString describeLedPattern(const QJsonObject& pattern);

private:
    void handleRequest(const QString& topic, const QByteArray& payload, const QJsonObject& request) override;
    void publishStatus();
    void publishInfo();
    void publishConfig();
    void publishDisplay();
    void publishPower();
    void publishAudio();

    bool m_ignition = true;
    int m_delayShutdownFor = 120;
    int m_brightness = 80;
    int m_sensor = 45;
    QString m_mode = QStringLiteral("manual");
    bool m_mute = false;
    QMap<QString, bool> m_power;
    QElapsedTimer m_uptime;
};
