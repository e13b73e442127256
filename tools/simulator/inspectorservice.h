#pragma once

#include "simservice.h"

#include <QElapsedTimer>

// Plays the system inspector service: its info and status, the volume of the "internal"
// sound card, system statistics, and the play, reboot and power-off requests, which a desk
// only logs (the last played file is kept so tests and the prompt can see it).
class InspectorService : public SimService
{
    Q_OBJECT
public:
    InspectorService(manager::MqttClient& client, const QString& base, QObject* parent = nullptr);

    QStringList requestTopics() const override;
    void publishAll() override;

    int volume() const { return m_volume; }
    QString lastPlayed() const { return m_lastPlayed; }

private:
    void handleRequest(const QString& topic, const QByteArray& payload, const QJsonObject& request) override;
    void publishInfo();
    void publishStatus();
    void publishAudio();
    void publishStats(const QString& which);

    int m_volume = 70;
    QString m_lastPlayed;
    QElapsedTimer m_uptime;
};
