#pragma once

#include "board.h"
#include "clock.h"
#include "configreactions.h"
#include "deviceidentity.h"
#include "diagnostics.h"
#include "displayfeed.h"
#include "displaylatency.h"
#include "eventmanager.h"
#include "imagesourcecheck.h"
#include "inspector.h"
#include "maintenancebarcodeapplier.h"
#include "mqttclient.h"
#include "network.h"
#include "owntopics.h"
#include "screencontroller.h"
#include "screengrabber.h"
#include "sessionactivity.h"
#include "sessionmanager.h"
#include "update.h"
#include "validator.h"

#include <QColor>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QQmlApplicationEngine>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <QVariantMap>

class Config;
class QQmlContext;
class Transaction;

// The central controller and the window's `manager`. Owns the broker connection, every
// service proxy, the maintenance session and the event log, builds and wires them, and follows
// configuration changes at run time. Its jobs are done behind it by small classes: the screen
// controller (which screen the passenger display shows, display power, ignition), the device
// identity (the serial-number file), the own-topics proxy (info, status and configuration on
// the broker), the configuration reactions (what each changed setting does) and the maintenance
// barcode applier. QML sees only this object and its properties.
//
// `main` owns the one instance; after `load()` it is also a child of the window's root object
// (so QML treats it as owned by C++), and it detaches itself before either side can delete it
// a second time.
class GUIManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(QString deviceId READ deviceId WRITE setDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString dynTr READ dynTr NOTIFY languageChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool showCursor READ showCursor WRITE setShowCursor NOTIFY showCursorChanged)
    Q_PROPERTY(bool showErrorDesc READ showErrorDesc WRITE setShowErrorDesc NOTIFY showErrorDescChanged)
    Q_PROPERTY(int displayOffMin READ displayOffMin WRITE setDisplayOffMin NOTIFY displayOffMinChanged)
    Q_PROPERTY(int shutdownDelaySec READ shutdownDelaySec WRITE setShutdownDelaySec NOTIFY shutdownDelaySecChanged)
    Q_PROPERTY(QColor screenSaverBg READ screenSaverBg NOTIFY screenSaverBgChanged)
    Q_PROPERTY(QString screenSaverImg READ screenSaverImg NOTIFY screenSaverImgChanged)
    Q_PROPERTY(Diagnostics* diagnostics READ diagnostics NOTIFY diagnosticsChanged)
    Q_PROPERTY(manager::Update* update READ update NOTIFY updateChanged)
    Q_PROPERTY(manager::Clock* clock READ clock NOTIFY clockChanged)
    Q_PROPERTY(int animSwitchSec READ animSwitchSec WRITE setAnimSwitchSec NOTIFY animSwitchSecChanged)
    // For the PIN page: whether logins are refused after too many wrong PINs, and for how many
    // more seconds (rounded up). `lockoutChanged` fires when a lock-out starts, once a second
    // while it runs, and when it ends; a refused login still emits `settingsAccessDenied`.
    Q_PROPERTY(bool lockedOut READ lockedOut NOTIFY lockoutChanged)
    Q_PROPERTY(int lockoutRemainingSec READ lockoutRemainingSec NOTIFY lockoutChanged)

public:
    // The 25 built-in settings handed to the configuration store at start-up.
    static const QVariantMap Defaults;
    // "gui/shutdownDelaySec" outside this range is refused from every source.
    static constexpr int ShutdownDelayMinSec = 5;
    static constexpr int ShutdownDelayMaxSec = 900;

    // eventLogDir: where "events.ini" lives; empty means next to the executable.
    explicit GUIManager(Config& config, const QString& eventLogDir = QString());
    ~GUIManager() override;

    // Loads the window, applies the configured language and records the start.
    void load();

    QString screen() const { return m_screens.screen(); }
    void setScreen(const QString& value) { m_screens.setScreen(value); }
    QString deviceId() const { return m_identity.id(); }
    void setDeviceId(const QString& id) { m_identity.setId(id); }
    QString language() const { return m_language; }
    void setLanguage(const QString& name);
    QString dynTr() const { return QString(); }
    QString message() const { return m_screens.message(); }
    void setMessage(const QString& text) { m_screens.setMessage(text); }

    bool showCursor() const;
    void setShowCursor(bool value);
    bool showErrorDesc() const;
    void setShowErrorDesc(bool value);
    int displayOffMin() const;
    void setDisplayOffMin(int value);
    int shutdownDelaySec() const;
    void setShutdownDelaySec(int value);
    QColor screenSaverBg() const;
    // The configured picture when it passes the check, else the default one.
    QString screenSaverImg() const;
    int animSwitchSec() const;
    void setAnimSwitchSec(int value);
    bool lockedOut() const { return m_session.lockedOut(); }
    int lockoutRemainingSec() const { return m_session.lockoutRemainingSec(); }

    Diagnostics* diagnostics() { return &m_diagnostics; }
    manager::Update* update() { return &m_update; }
    manager::Clock* clock() { return &m_clock; }

    // The reason code, plus a newline and the reason text when descriptions are shown.
    QString validatorReason() const { return m_screens.validatorReason(); }

    // For `main`, the benches and the tests that drive the whole program: the window's engine
    // (its context holds every proxy QML sees), the broker client, and the two parts that
    // own the screen and session timers.
    QQmlApplicationEngine& engine() { return m_engine; }
    manager::MqttClient& mqttClient() { return m_mqtt; }
    ScreenController& screens() { return m_screens; }
    SessionManager& session() { return m_session; }
    // How long passengers wait for their results (the status reports it).
    const DisplayLatency& displayLatency() const { return m_latency; }

    // The program's one way out (stop signals, the technician's exit): the event log is
    // written, "/status" says retained that the service is gone, the broker connection is
    // closed cleanly (so the broker drops the last will), then the event loop ends with
    // exitCode. Calling it again while stopping ends the loop at once.
    void stop(int exitCode = 0);
    bool isStopping() const { return m_stopping; }
    static constexpr int StopTimeoutMs = 2000;

public slots:
    void settingsLoginRequest(const QString& pin);
    void settingsLogoutRequest();
    void setIdleScreen();
    void setOutOfOrderScreen(const QString& message);
    void setScreen(const QString& value, int timeout);
    void saveDeviceIdRequest(const QString& deviceId);
    void setMaintenanceScreen();
    void shutdownRequest();
    void rebootRequest();
    void exitRequest();
    // A page that shows a secret (the on-board computer's password) says when it comes and
    // goes, by its name; no screenshot leaves while any such page is up.
    void setSecretShown(const QString& page, bool shown);

signals:
    void screenChanged();
    void deviceIdChanged();
    void languageChanged();
    void settingsAccessGranted();
    void settingsAccessDenied();
    void messageChanged();
    void showCursorChanged();
    void showErrorDescChanged();
    void displayOffMinChanged();
    void shutdownDelaySecChanged();
    void errorOccured(const QString& error);
    void diagnosticsChanged();
    void updateChanged();
    void clockChanged();
    void barcodeConfigurationApplied(const QStringList& configList);
    void screenSaverBgChanged();
    void screenSaverImgChanged();
    void animSwitchSecChanged();
    void lockoutChanged();

private slots:
    void onTicketValidated(const Transaction& transaction);
    void onSessionActiveChanged();
    void pruneWhenClockTrusted();
    void onMqttConnected();
    void onMqttDisconnected();
    void onMqttError(const QString& error);

private:
    void initConfig();
    void initQml();
    void initMqtt();
    void connectBroker();
    void wire();
    void pushEvent(const QString& category, const QString& name);

    QString m_language;
    QQmlApplicationEngine m_engine;
    QQmlContext* m_rootContext = nullptr;
    QTranslator m_translator;
    Config& m_config;
    manager::MqttClient m_mqtt;
    manager::OwnTopics m_ownTopics;
    manager::Validator m_validator;
    manager::Board m_board;
    manager::Inspector m_inspector;
    manager::Network m_network;
    manager::Update m_update;
    manager::Clock m_clock;
    SessionManager m_session;
    EventManager m_eventLog;
    DeviceIdentity m_identity;
    ScreenController m_screens;
    Diagnostics m_diagnostics;
    ConfigReactions m_configReactions;
    MaintenanceBarcodeApplier m_barcodeApplier;
    DisplayLatency m_latency;
    DisplayFeed m_feed;
    ScreenGrabber m_grabber;
    mutable ImageSourceCheck m_saverImage;
    SessionActivity m_sessionActivity;

    // Connections made by the broker set-up, dropped before it runs again.
    QList<QMetaObject::Connection> m_mqttConnections;
    // A reconnection waiting for the old connection to close.
    QMetaObject::Connection m_pendingReconnect;
    QSet<QString> m_secretPages;
    bool m_pruned = false;
    bool m_stopping = false;
    QMetaObject::Connection m_windowGone;
};
