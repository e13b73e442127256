#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class Config;

namespace manager {

class MqttClient;

// The program's own service on the broker, under its base topic ("orvo/ui" by default): it
// answers "/info/get", "/status/get" and "/config/get" with "/info", "/status" and "/config",
// and applies "/config/set" to the settings store. Knows every topic and payload of that
// service, so the GUI manager only says what to publish and when.
//
// For a depot, the status also says which screen the passenger sees, how long the program has
// run and how many results it has shown; "/screenshot/get" asks for a picture of the window,
// published on "/screenshot" by whoever takes it (publishScreenshot), never while the Login page
// (with the PIN being typed) or a page that shows a secret (setSecretShown) is up; "/diagnostics" holds the
// last self-test the technician finished (publishDiagnostics), retained.
//
// Requests count when they are sent: one the broker delivers from its retained store is not
// acted on (MqttClient::setLiveOnly).
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
    // A new screen republishes the status at most this often; the last screen always gets out.
    static constexpr int ScreenStatusIntervalMs = 1000;
    // A status unchanged for this long is sent again with a fresh "time": the heartbeat that
    // lets a depot tell an idle vehicle (old screen, new time) from a silent one.
    static constexpr int StatusHeartbeatMs = 30000;
    // Screenshot requests closer together than this are refused.
    static constexpr int ScreenshotIntervalMs = 2000;
    // What a refused request is answered on "/screenshot" (not retained), as {"refused": ...};
    // each reason at most once per ScreenshotIntervalMs.
    static const QString RefusedLogin;
    static const QString RefusedSecret;
    static const QString RefusedInterval;
    // Every text of a published self-test is cut to this many characters, and at most this
    // many values are published: the report stays a few kilobytes whatever the services said.
    static constexpr int DiagnosticsTextChars = 128;
    static constexpr int DiagnosticsValues = 64;

    // Whether a page that shows a secret (the on-board computer's password) is up: no picture
    // of the screen leaves meanwhile.
    bool secretShown() const { return m_secretShown; }
    void setSecretShown(bool shown) { m_secretShown = shown; }

    // The screen the passenger sees, as "/status" reports it. A change republishes the status.
    QString screen() const { return m_screen; }
    void setScreen(const QString& name);
    // One more result (valid or not) shown since start.
    void countResult() { ++m_resultsShown; }
    int resultsShown() const { return m_resultsShown; }

    // Milliseconds since the program started, from a monotonic clock: the uptime in "/status"
    // and the spacing of screenshot requests. Tests inject their own.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // The time of day in "/status" ("time", UTC); tests inject their own.
    using WallClock = std::function<QDateTime()>;
    void setWallClock(WallClock clock) { m_wallClock = std::move(clock); }

    // The pause after a screen publication; tests run its expiry instead of waiting.
    const QTimer& screenStatusTimer() const { return m_screenStatusTimer; }
    // Restarted by every status publication; its expiry publishes the status again.
    const QTimer& heartbeatTimer() const { return m_heartbeatTimer; }

public slots:
    void publishInfo();
    // Every status is retained and carries its UTC time: the one sent on connection replaces the
    // retained last will,
    // and each later one (a session opened or closed) replaces the one before, so a subscriber
    // arriving later reads what a "/status/get" would answer.
    void publishStatus();
    // The status of a program that stops on purpose: no session, no service; retained, as the
    // last will would have been.
    void publishStopped();
    void publishConfig();
    // A PNG of the window, sent once (not retained).
    void publishScreenshot(const QByteArray& png);
    // The self-test the technician just finished, retained, so that a depot subscribing at any
    // time reads the last one. `report` holds "deviceId", "time", "result" ("pass" or "fail")
    // and "values" (names to texts). Kept, and sent again on every connection
    // (republishDiagnostics): a broker that was away or restarted without its store gets it back.
    void publishDiagnostics(const QVariantMap& report);
    void republishDiagnostics();
    void onMqttReceived(const QByteArray& data, const QString& topic);
    void onScreenStatusTimeout();

signals:
    // Someone asked for a screenshot, and the last one was long enough ago.
    void screenshotRequested();

private:
    void subscribe();
    void applyConfiguration(const QByteArray& data);
    void onScreenshotRequest();
    // Answers a refused request unless this reason was answered within the interval; true
    // when answered.
    bool refuseScreenshot(const QString& reason, qint64 now);
    // Why no picture may leave now (the PIN or a secret on the screen); empty when one may.
    QString screenRefusal() const;
    QByteArray statusPayload() const;
    QByteArray configPayload() const;

    MqttClient& m_client;
    Config& m_config;
    QString m_baseTopic;
    bool m_technician = false;
    QList<QPair<QString, StatusSource>> m_statusSources;
    QString m_screen;
    bool m_secretShown = false;
    int m_resultsShown = 0;
    QElapsedTimer m_started;
    Clock m_clock;
    WallClock m_wallClock;
    QTimer m_screenStatusTimer;
    QTimer m_heartbeatTimer;
    bool m_screenStatusPending = false;
    qint64 m_lastScreenshotMs = -1;
    QByteArray m_diagnostics;
    bool m_screenshotRefusalLogged = false;
    QHash<QString, qint64> m_screenshotRefusals;
};

} // namespace manager
