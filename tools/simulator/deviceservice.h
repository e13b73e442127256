#pragma once

#include "simservice.h"

class QTimer;

// Plays the device service: NTP status and configuration under "/clock/ntp", and the
// software update. A check finds the next version after a short pause; an install reports
// download progress ("done/total" texts) and then install progress, and the pending version
// becomes the current one. The pause between steps is a setting so tests need not wait.
class DeviceService : public SimService
{
    Q_OBJECT
public:
    DeviceService(manager::MqttClient& client, const QString& base, QObject* parent = nullptr);

    QStringList requestTopics() const override;
    void publishAll() override;

    void setStepMillis(int msec);
    QString current() const { return m_current; }
    QString pending() const { return m_pending; }

private slots:
    void onStep();
    void onNtpSynced();

private:
    void handleRequest(const QString& topic, const QByteArray& payload, const QJsonObject& request) override;
    void publishNtpStatus();
    void publishNtpConfig();
    void publishDeviceStatus();
    void publishSoftwareStatus();
    void publishProgress(const QString& message, int percent);
    void startSteps(int kind);

    bool m_ntpEnabled = true;
    bool m_ntpSynced = true;
    QString m_ntpServer = QStringLiteral("pool.ntp.example");
    QString m_current = QStringLiteral("1.4.2");
    QString m_pending;
    QString m_available = QStringLiteral("1.5.0");   // what the next check finds
    int m_stepMillis = 400;
    QTimer* m_stepTimer;
    QTimer* m_ntpTimer;
    int m_job = 0;       // 0 none, 1 check, 2 install
    int m_stepCount = 0;
};
