#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

namespace manager {

class MqttClient;

// Proxy of the system inspector service: reboot and power-off, the sound card (volume, playing
// the validation sounds) and system statistics. Also counts down the delayed power-off after
// the ignition goes off. Owned by the GUI manager and shown to QML as `inspector`.
class Inspector : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap info READ info NOTIFY infoChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QVariantMap memory READ memory NOTIFY memoryChanged)
    Q_PROPERTY(QVariantMap cpu READ cpu NOTIFY cpuChanged)
    Q_PROPERTY(QVariantMap disks READ disks NOTIFY disksChanged)
    Q_PROPERTY(int audioVolume READ audioVolume WRITE setAudioVolume NOTIFY audioVolumeChanged)

public:
    // Pause between announcing a reboot or power-off and asking the service for it, so that
    // the screens can show it.
    static constexpr int PowerRequestDelayMsec = 2000;

    Inspector(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    QVariantMap info() const { return m_info; }
    QString status() const { return m_status; }
    QVariantMap memory() const { return m_memory; }
    QVariantMap cpu() const { return m_cpu; }
    QVariantMap disks() const { return m_disks; }
    int audioVolume() const { return m_audioVolume; }

    // Seams for tests: the two timers, and the pause before a power request.
    QTimer& shutdownTimer() { return m_shutdownTimer; }
    const QTimer& monitorTimer() const { return m_monitorTimer; }
    int powerRequestDelay() const { return m_powerRequestDelay; }
    void setPowerRequestDelay(int msec) { m_powerRequestDelay = msec; }

public slots:
    void refresh();
    void monitor(int msec);
    void setAudioVolume(int value);
    void audioPlay(const QString& file);
    void systemReboot();
    void systemShutdown();
    void scheduleShutdown(int sec);
    void abortShutdown();

signals:
    void infoChanged();
    void statusChanged();
    void memoryChanged();
    void cpuChanged();
    void disksChanged();
    void audioVolumeChanged();
    void systemRebootStarted();
    void systemShutdownStarted();

private:
    void publish(const QString& suffix, const QByteArray& payload);
    void requestPowerLater(const QString& suffix);
    void setStatus(const QString& status);
    void handleInfo(const QJsonObject& payload, const QString& topic);
    void handleStatus(const QJsonObject& payload, const QString& topic);
    void handleAudio(const QJsonObject& payload, const QString& topic);

    MqttClient& m_client;
    QString m_baseTopic;
    QVariantMap m_info;
    QString m_status;
    QVariantMap m_memory;
    QVariantMap m_cpu;
    QVariantMap m_disks;
    QVariantMap m_audio;
    QTimer m_monitorTimer;
    QTimer m_shutdownTimer;
    int m_audioVolume = 0;
    int m_powerRequestDelay = PowerRequestDelayMsec;
};

} // namespace manager
