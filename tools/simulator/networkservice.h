#pragma once

#include "simservice.h"

class QTimer;

// Plays the network manager service: overall status with the primary connection on "/status"
// (published on its own, as the real service does, since nobody asks for it), and the wired
// interface's live state and stored configuration under "/ethernet", changed by
// "/ethernet/config/set".
class NetworkService : public SimService
{
    Q_OBJECT
public:
    NetworkService(manager::MqttClient& client, const QString& base, QObject* parent = nullptr);

    QStringList requestTopics() const override;
    void publishAll() override;

    // Interval of the unsolicited status publication.
    void setStatusInterval(int msec);

    // Checks a "/ethernet/config/set" request; a manual configuration needs a valid address
    // and mask, and any gateway or name server given must be a valid address too.
    static bool validConfig(const QJsonObject& request, QString* why);

private:
    void handleRequest(const QString& topic, const QByteArray& payload, const QJsonObject& request) override;
    QJsonObject liveIpv4() const;
    void publishStatus();
    void publishInfo();
    void publishState();
    void publishConfig();

    QString m_interface = QStringLiteral("eth0");
    QString m_method = QStringLiteral("auto");
    QJsonObject m_config;   // the five address keys, stored as given
    QTimer* m_statusTimer;
};
