#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

namespace manager {

class MqttClient;

// Mirrors the board service: LEDs, buzzer, display backlight and light sensor, audio mute,
// peripheral power, ignition, pole id, temperature and supply voltage. Setters only publish
// requests; values change when the service reports them back on its state topics. Owned by the
// GUI manager and shown to QML as `board`.
class Board : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool ignition READ ignition NOTIFY ignitionChanged)
    Q_PROPERTY(QString poleId READ poleId NOTIFY poleIdChanged)
    Q_PROPERTY(double temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(double voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(int displayBrightness READ displayBrightness WRITE setDisplayBrightness NOTIFY displayBrightnessChanged)
    Q_PROPERTY(QString displayBrightnessMode READ displayBrightnessMode WRITE setDisplayBrightnessMode NOTIFY displayBrightnessModeChanged)
    Q_PROPERTY(int ambientLightSensor READ ambientLightSensor NOTIFY ambientLightSensorChanged)
    Q_PROPERTY(QVariantMap info READ info NOTIFY infoChanged)
    Q_PROPERTY(bool audioEnabled READ audioEnabled WRITE setAudioEnabled NOTIFY audioEnabledChanged)
    Q_PROPERTY(QVariantList peripherals READ peripherals WRITE setPeripherals NOTIFY peripheralsChanged)
    Q_PROPERTY(bool rtcFailed READ rtcFailed NOTIFY rtcFailedChanged)
    Q_PROPERTY(int delayShutdownFor READ delayShutdownFor WRITE setDelayShutdownFor NOTIFY delayShutdownForChanged)

public:
    Board(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    bool ignition() const { return m_ignition; }
    QString poleId() const;
    double temperature() const;
    double voltage() const;
    int uptime() const;
    bool rtcFailed() const;
    int displayBrightness() const;
    QString displayBrightnessMode() const;
    int ambientLightSensor() const;
    QVariantMap info() const { return m_info; }
    QString status() const { return m_status; }
    bool audioEnabled() const;
    // One {"item", "descr", "value"} map per reported power key, in key order.
    QVariantList peripherals() const;
    int delayShutdownFor() const { return m_delayShutdownFor; }

    // Asks the board to change its shutdown delay; the value shown changes on "/config".
    void setDelayShutdownFor(int seconds);
    // The list is derived from the power state; writing it is refused with a warning.
    void setPeripherals(const QVariantList& peripherals);

    // Display name of a power key, in the current language; empty for an unknown key.
    static QString peripheralName(const QString& key);

    // The refresh timer of monitor(), for inspection by tests.
    const QTimer& monitorTimer() const { return m_monitorTimer; }

public slots:
    void refresh();
    void monitor(int msec);
    void setPeripheralPower(const QString& peripheral, bool value);
    bool peripheralPower(const QString& peripheral) const;
    void setLedValid();
    void setLedInvalid();
    void setLedTestPattern();
    void setLedOff();
    void setDisplayBrightness(int value);
    void setDisplayBrightnessMode(const QString& value);
    void setAudioEnabled(bool value);
    void playBuzzer(int onMsec, int offMsec, int repeat = 0);

signals:
    void infoChanged();
    void statusChanged();
    void ignitionChanged();
    void poleIdChanged();
    void temperatureChanged();
    void voltageChanged();
    void uptimeChanged();
    void peripheralPowerChanged(const QString& peripheral, bool value);
    void audioEnabledChanged();
    void rtcFailedChanged();
    void displayBrightnessChanged();
    void displayBrightnessModeChanged();
    void ambientLightSensorChanged();
    void peripheralsChanged();
    void delayShutdownForChanged();

private:
    void subscribe();
    void publish(const QString& suffix, const QJsonObject& payload);
    void setStatus(const QString& status);
    void playLed(const char* name, const QJsonObject& pattern);

    void handleInfo(const QJsonObject& payload, const QString& topic);
    void handleStatus(const QJsonObject& payload, const QString& topic);
    void handleConfig(const QJsonObject& payload, const QString& topic);
    void handleDisplay(const QJsonObject& payload, const QString& topic);
    void handlePower(const QJsonObject& payload, const QString& topic);
    bool acceptsPeripheral(const QString& key, bool firstPowerMessage);
    void handleEvent(const QJsonObject& payload, const QString& topic);
    void handleAudio(const QJsonObject& payload, const QString& topic);

    MqttClient& m_client;
    QString m_baseTopic;
    QVariantMap m_info;
    QString m_status;
    QJsonObject m_statusObject;
    QJsonObject m_displayObject;
    QJsonObject m_powerObject;
    // Switches outside the name table, admitted from the first power message only.
    static constexpr int MaxExtraPeripherals = 8;
    QSet<QString> m_extraPeripherals;
    bool m_powerSeen = false;
    QVariantMap m_audio;
    int m_delayShutdownFor = 0;
    QTimer m_monitorTimer;
    bool m_ignition = true;
};

} // namespace manager
