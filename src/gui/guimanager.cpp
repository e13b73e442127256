#include "guimanager.h"

#include "config.h"
#include "configreactions.h"
#include "connection.h"
#include "event.h"
#include "ipv4.h"
#include "logger.h"
#include "qmlrules.h"
#include "secretmask.h"
#include "symbolimageprovider.h"
#include "transaction.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QLocale>
#include <QQmlContext>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QUrl>
#include <qqml.h>

namespace {

const QString TranslationFile = QStringLiteral(":/qml/translations/VovadudozAD_el_GR.qm");
const QString PinKey = QStringLiteral("gui/settingsPin");

// The event log and the login lock-out live here: next to the executable unless told.
QString stateDir(const QString& given)
{
    return given.isEmpty() ? QCoreApplication::applicationDirPath() : given;
}

} // namespace

const QVariantMap GUIManager::Defaults {
    { QStringLiteral("log/level"), 2 },
    { QStringLiteral("log/syslog"), true },
    { QStringLiteral("log/stderr"), true },
    { QStringLiteral("log/color"), false },
    { QStringLiteral("mqtt/host"), QStringLiteral("localhost") },
    { QStringLiteral("mqtt/port"), 1883 },
    { QStringLiteral("mqtt/username"), QString() },
    { QStringLiteral("mqtt/password"), QString() },
    { QStringLiteral("mqtt/base"), QStringLiteral("orvo/ui") },
    // The maintenance PIN. Empty opens no session: it is provisioned per vehicle through
    // the settings file or "/config/set", never shipped as a universal default.
    { QStringLiteral("gui/settingsPin"), QString() },
    { QStringLiteral("gui/showCursor"), true },
    { QStringLiteral("gui/deviceId"), QStringLiteral("/etc/serialnumber") },
    { QStringLiteral("gui/locale"), QStringLiteral("el_GR") },
    { QStringLiteral("gui/displayOffMin"), 3 },
    { QStringLiteral("gui/shutdownDelaySec"), 60 },
    { QStringLiteral("gui/showErrorDesc"), false },
    { QStringLiteral("gui/screenSaverBg"), QStringLiteral("black") },
    { QStringLiteral("gui/screenSaverImg"), QStringLiteral("qrc:/qml/images/Icons/orvo.png") },
    { QStringLiteral("gui/animSwitchSec"), 0 },
    { QStringLiteral("topics/barcode"), QStringLiteral("orvo/barcode") },
    { QStringLiteral("topics/blm"), QStringLiteral("orvo/blm") },
    { QStringLiteral("topics/board"), QStringLiteral("orvo/board") },
    { QStringLiteral("topics/inspector"), QStringLiteral("orvo/inspector") },
    { QStringLiteral("topics/network"), QStringLiteral("orvo/network") },
    { QStringLiteral("topics/device"), QStringLiteral("orvo/device") },
};

GUIManager::GUIManager(Config& config, const QString& eventLogDir)
    : QObject(nullptr)
    , m_rootContext(m_engine.rootContext())
    , m_config(config)
    , m_ownTopics(m_mqtt, config, config.get(QStringLiteral("mqtt/base")).toString())
    , m_validator(m_mqtt, config.get(QStringLiteral("topics/blm")).toString())
    , m_board(m_mqtt, config.get(QStringLiteral("topics/board")).toString())
    , m_inspector(m_mqtt, config.get(QStringLiteral("topics/inspector")).toString())
    , m_network(m_mqtt, config.get(QStringLiteral("topics/network")).toString())
    , m_update(m_mqtt, config.get(QStringLiteral("topics/device")).toString())
    , m_clock(m_mqtt, config.get(QStringLiteral("topics/device")).toString())
    , m_session(config, stateDir(eventLogDir))
    , m_eventLog(config, stateDir(eventLogDir))
    , m_identity(config)
    , m_screens(config, m_validator, m_board, m_inspector, m_session, m_identity)
    , m_diagnostics(m_identity.id(), m_board, m_network, m_validator, m_update)
    , m_configReactions(config, m_identity, m_ownTopics)
    , m_barcodeApplier(m_session, m_validator, m_network, m_inspector, m_board)
    , m_feed(m_screens, m_latency)
    , m_saverImage(stateDir(eventLogDir))
    , m_sessionActivity(m_session, [this] { return screen() == QLatin1String("Settings"); })
{
    m_identity.load();
    ConfigReactions::applyLogSettings(m_config);
    initConfig();
    if (m_config.get(PinKey).toString().isEmpty()) {
        qWarning().noquote().nospace()
            << "[GUIManager] WARN: Maintenance login is disabled until a PIN is set "
               "(\"gui/settingsPin\" in the settings file or through \"/config/set\")";
    }
    initQml();
    initMqtt();
    wire();
}

GUIManager::~GUIManager()
{
    // Leave the window's object tree (it must not delete us a second time), then let the
    // window go first, while every object its bindings read still exists.
    QObject::disconnect(m_windowGone);
    setParent(nullptr);
    const QList<QObject*> roots = m_engine.rootObjects();
    for (QObject* root : roots)
        delete root;
}

void GUIManager::load()
{
    m_engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    const QList<QObject*> roots = m_engine.rootObjects();
    if (roots.isEmpty()) {
        qCritical().noquote().nospace() << "[GUIManager] ERROR: Failed to load the main window";
    } else {
        // Parented so that QML sees a C++-owned object; `main` still owns it, so the window
        // must never delete it: leave the window before it deletes its children.
        QObject* window = roots.first();
        m_grabber.setWindow(qobject_cast<QQuickWindow*>(window));
        setParent(window);
        // Every touch in the maintenance area counts as work: the session ends ten minutes
        // after the last one.
        window->installEventFilter(&m_sessionActivity);
        m_windowGone = connect(window, &QObject::destroyed, this, [this] { setParent(nullptr); });
        m_latency.attach(qobject_cast<QQuickWindow*>(window));
    }
    setLanguage(m_config.get(QStringLiteral("gui/locale")).toString());
    pushEvent(QStringLiteral("General"), QStringLiteral("Application started"));
}

// ---------------------------------------------------------------------------------------------
// Start-up steps

void GUIManager::initConfig()
{
    // The settings print goes to syslog at every start and edit; the secrets stay in the file.
    m_config.setHiddenKeys(manager::OwnTopics::secretKeys());
    // The maintenance page's own range. A delay of 0 or less would power the validator off
    // before a cranking engine brings the ignition back, whoever set it.
    m_config.setRange(QStringLiteral("gui/shutdownDelaySec"), ShutdownDelayMinSec, ShutdownDelayMaxSec);
    m_config.print();
}

void GUIManager::initQml()
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    qInfo().noquote().nospace() << "[GUIManager] QtQuick Style name is : " << QQuickStyle::name();

    qmlRegisterType<Transaction>("com.orvo.ticketing.transaction", 1, 0, "Transaction");
    qmlRegisterType<manager::Connection>("com.orvo.network.connection", 1, 0, "Connection");
    qmlRegisterType<IPv4>("com.orvo.network.ipv4", 1, 0, "IPv4");
    QmlRules::registerTypes();
    m_engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);

    m_rootContext->setContextProperty(QStringLiteral("manager"), this);
    m_rootContext->setContextProperty(QStringLiteral("board"), &m_board);
    m_rootContext->setContextProperty(QStringLiteral("inspector"), &m_inspector);
    m_rootContext->setContextProperty(QStringLiteral("transaction"), m_feed.transaction());
    m_rootContext->setContextProperty(QStringLiteral("eventLogManager"), &m_eventLog);
    m_rootContext->setContextProperty(QStringLiteral("network"), &m_network);
    m_rootContext->setContextProperty(QStringLiteral("validatorManager"), &m_validator);

    setScreen(QStringLiteral("Busy"), 10000);
    setMessage(tr("Initializing"));
}

void GUIManager::initMqtt()
{
    // The set-up runs again after every broker settings change: each reaction stays
    // connected exactly once.
    for (const QMetaObject::Connection& connection : qAsConst(m_mqttConnections))
        QObject::disconnect(connection);
    m_mqttConnections.clear();
    m_mqttConnections
        << connect(&m_mqtt, &manager::MqttClient::connected, this, &GUIManager::onMqttConnected)
        << connect(&m_mqtt, &manager::MqttClient::disconnected, this, &GUIManager::onMqttDisconnected)
        << connect(&m_mqtt, &manager::MqttClient::error, this, &GUIManager::onMqttError);

    m_mqtt.setClientId(QStringLiteral("%1_%2")
                           .arg(QCoreApplication::applicationName())
                           .arg(QCoreApplication::applicationPid()));
    m_ownTopics.setBaseTopic(m_config.get(QStringLiteral("mqtt/base")).toString());
    m_mqtt.setWillMessage(manager::OwnTopics::willMessage());
    m_mqtt.setWillTopic(m_ownTopics.willTopic());
    m_mqtt.setHostname(m_config.get(QStringLiteral("mqtt/host")).toString());
    m_mqtt.setPort(m_config.get(QStringLiteral("mqtt/port")).toInt());
    m_mqtt.setUsername(m_config.get(QStringLiteral("mqtt/username")).toString());
    m_mqtt.setPassword(m_config.get(QStringLiteral("mqtt/password")).toString());
    // "Connecting" goes up first: a broker that refuses at once reports "Disconnected" from
    // inside connect(), and that must stay the last word on the screen.
    setMessage(QStringLiteral("Connecting"));
    connectBroker();
}

void GUIManager::connectBroker()
{
    // The client takes its settings when it connects. A live connection is closed first (the
    // close completes asynchronously) and the new one follows at once, not after the retry
    // interval; an attempt still in progress towards the old broker is abandoned.
    QObject::disconnect(m_pendingReconnect);
    if (m_mqtt.isConnected()) {
        m_pendingReconnect = connect(&m_mqtt, &manager::MqttClient::disconnected, this, [this] {
            QObject::disconnect(m_pendingReconnect);
            m_mqtt.connect();
        });
        m_mqtt.disconnect();
        return;
    }
    m_mqtt.disconnect();
    m_mqtt.connect();
}

void GUIManager::wire()
{
    connect(&m_validator, &manager::Validator::cardDetected, this, [](const QString& uid, const QString& type) {
        qWarning().noquote().nospace()
            << "[GUIManager] " << QStringLiteral("Validator card detected : uid=%1, type=%2").arg(uid, type);
    });
    connect(&m_validator, &manager::Validator::cardRemoved, this,
            [] { qWarning().noquote().nospace() << "[GUIManager] Validator card removed"; });
    connect(&m_validator, &manager::Validator::ticketValidated, this, &GUIManager::onTicketValidated);
    connect(&m_validator, &manager::Validator::maintenanceBarcodeScanned, &m_barcodeApplier,
            &MaintenanceBarcodeApplier::apply);
    connect(&m_barcodeApplier, &MaintenanceBarcodeApplier::applied, this, &GUIManager::barcodeConfigurationApplied);
    // What the settings ask of the controller, in the order the reactions run.
    connect(&m_configReactions, &ConfigReactions::showCursorChanged, this, &GUIManager::showCursorChanged);
    connect(&m_configReactions, &ConfigReactions::displayOffMinChanged, this, &GUIManager::displayOffMinChanged);
    connect(&m_configReactions, &ConfigReactions::shutdownDelaySecChanged, &m_screens,
            &ScreenController::updateBoardShutdownDelay);
    connect(&m_configReactions, &ConfigReactions::shutdownDelaySecChanged, this, &GUIManager::shutdownDelaySecChanged);
    connect(&m_configReactions, &ConfigReactions::languageRequested, this, [this](const QString& name) { setLanguage(name); });
    connect(&m_configReactions, &ConfigReactions::showErrorDescChanged, this,
            [this] { setMessage(validatorReason()); });
    connect(&m_configReactions, &ConfigReactions::showErrorDescChanged, this, &GUIManager::showErrorDescChanged);
    connect(&m_configReactions, &ConfigReactions::screenSaverBgChanged, this, &GUIManager::screenSaverBgChanged);
    connect(&m_configReactions, &ConfigReactions::screenSaverImgChanged, this, &GUIManager::screenSaverImgChanged);
    connect(&m_configReactions, &ConfigReactions::animSwitchSecChanged, this, &GUIManager::animSwitchSecChanged);
    connect(&m_configReactions, &ConfigReactions::brokerChanged, this, &GUIManager::initMqtt);
    connect(&m_session, &SessionManager::accessGranted, this, &GUIManager::settingsAccessGranted);
    connect(&m_session, &SessionManager::accessDenied, this, &GUIManager::settingsAccessDenied);
    connect(&m_session, &SessionManager::sessionActiveChanged, this, &GUIManager::onSessionActiveChanged);
    connect(&m_session, &SessionManager::lockoutChanged, this, &GUIManager::lockoutChanged);
    // The board announces its status before the rest of the message is read: look once the
    // whole message is in.
    connect(&m_board, &manager::Board::statusChanged, this, &GUIManager::pruneWhenClockTrusted, Qt::QueuedConnection);
    connect(&m_board, &manager::Board::rtcFailedChanged, this, &GUIManager::pruneWhenClockTrusted,
            Qt::QueuedConnection);
    connect(&m_clock, &manager::Clock::ntpSyncedChanged, this, &GUIManager::pruneWhenClockTrusted);
    // The window hears of screens and results once per event-loop turn, the last of them.
    connect(&m_feed, &DisplayFeed::screenChanged, this, &GUIManager::screenChanged);
    // The depot's view: the screen in the status, and a picture of it on request.
    m_ownTopics.setScreen(m_screens.screen());
    connect(&m_screens, &ScreenController::screenChanged, this, [this] { m_ownTopics.setScreen(m_screens.screen()); });
    connect(&m_screens, &ScreenController::screenChanged, &m_grabber, &ScreenGrabber::onScreenChanged);
    connect(&m_screens, &ScreenController::resultShown, &m_ownTopics, &manager::OwnTopics::countResult);
    connect(&m_ownTopics, &manager::OwnTopics::screenshotRequested, &m_grabber, &ScreenGrabber::request);
    connect(&m_grabber, &ScreenGrabber::taken, &m_ownTopics, &manager::OwnTopics::publishScreenshot);
    // The last self-test, kept on the broker for the depot.
    connect(&m_diagnostics, &Diagnostics::reportMade, &m_ownTopics, &manager::OwnTopics::publishDiagnostics);
    connect(&m_screens, &ScreenController::messageChanged, this, &GUIManager::messageChanged);
    connect(&m_screens, &ScreenController::eventOccurred, this, &GUIManager::pushEvent);
    connect(&m_identity, &DeviceIdentity::idChanged, this, &GUIManager::deviceIdChanged);
    connect(&m_identity, &DeviceIdentity::saveFailed, this, &GUIManager::errorOccured);
    // The passenger's wait for a result, from the first result on: a program that has shown
    // none reports the status as designed.
    m_ownTopics.addStatusSource(QStringLiteral("display"), [this] {
        return m_latency.results() > 0 ? QJsonValue(m_latency.toJson()) : QJsonValue(QJsonValue::Undefined);
    });
    connect(&m_inspector, &manager::Inspector::systemRebootStarted, this,
            [this] { m_screens.showBusy(tr("Rebooting")); });
    connect(&m_inspector, &manager::Inspector::systemShutdownStarted, this,
            [this] { m_screens.showBusy(tr("Shutting down")); });
}

// ---------------------------------------------------------------------------------------------
// Properties

bool GUIManager::showCursor() const
{
    return m_config.get(QStringLiteral("gui/showCursor")).toBool();
}

void GUIManager::setShowCursor(bool value)
{
    if (value != showCursor())
        m_config.set(QStringLiteral("gui/showCursor"), value);
}

bool GUIManager::showErrorDesc() const
{
    return m_config.get(QStringLiteral("gui/showErrorDesc")).toBool();
}

void GUIManager::setShowErrorDesc(bool value)
{
    if (value != showErrorDesc())
        m_config.set(QStringLiteral("gui/showErrorDesc"), value);
}

int GUIManager::displayOffMin() const
{
    return m_config.get(QStringLiteral("gui/displayOffMin")).toInt();
}

void GUIManager::setDisplayOffMin(int value)
{
    if (value != displayOffMin())
        m_config.set(QStringLiteral("gui/displayOffMin"), value);
}

int GUIManager::shutdownDelaySec() const
{
    return m_config.get(QStringLiteral("gui/shutdownDelaySec")).toInt();
}

void GUIManager::setShutdownDelaySec(int value)
{
    if (value != shutdownDelaySec())
        m_config.set(QStringLiteral("gui/shutdownDelaySec"), value);
}

QColor GUIManager::screenSaverBg() const
{
    return QColor(m_config.get(QStringLiteral("gui/screenSaverBg")).toString());
}

QString GUIManager::screenSaverImg() const
{
    const QString key = QStringLiteral("gui/screenSaverImg");
    return m_saverImage.source(m_config.get(key).toString(), Defaults.value(key).toString());
}

int GUIManager::animSwitchSec() const
{
    return m_config.get(QStringLiteral("gui/animSwitchSec")).toInt();
}

void GUIManager::setAnimSwitchSec(int value)
{
    if (value != animSwitchSec())
        m_config.set(QStringLiteral("gui/animSwitchSec"), value);
}

// ---------------------------------------------------------------------------------------------
// Screens

void GUIManager::settingsLoginRequest(const QString& pin)
{
    m_session.loginRequest(pin);
}

void GUIManager::settingsLogoutRequest()
{
    m_session.logoutRequest();
}

void GUIManager::setSecretShown(const QString& page, bool shown)
{
    if (shown)
        m_secretPages.insert(page);
    else
        m_secretPages.remove(page);
    m_ownTopics.setSecretShown(!m_secretPages.isEmpty());
}

void GUIManager::setIdleScreen()
{
    m_screens.setIdleScreen();
}

void GUIManager::setOutOfOrderScreen(const QString& message)
{
    m_screens.setOutOfOrderScreen(message);
}

void GUIManager::setScreen(const QString& value, int timeout)
{
    m_screens.setScreen(value, timeout);
}

void GUIManager::setMaintenanceScreen()
{
    m_screens.setMaintenanceScreen();
}

void GUIManager::onTicketValidated(const Transaction& transaction)
{
    m_latency.resultArrived();
    qWarning().noquote().nospace() << "[GUIManager] Validator ticket validated : " << int(transaction.type());
    qWarning().noquote().nospace() << "[GUIManager] Valid : " << (transaction.valid() ? "true" : "false");
    // The whole record as text is for whoever debugs the validation service; building it
    // costs as much as the rest of a result, so it is built only when the line is written.
    if (manager::Logger::instance()->keeps(QtDebugMsg)) {
        qDebug().noquote().nospace() << "[GUIManager] Contents : "
                                     << QJsonDocument(QJsonObject::fromVariantMap(transaction.toMap()))
                                            .toJson(QJsonDocument::Compact);
    }
    m_feed.setTransaction(transaction.json());
    m_screens.showValidation(transaction);
}

void GUIManager::onSessionActiveChanged()
{
    if (m_session.sessionActive()) {
        const std::optional<User> user = m_session.user();
        if (user)
            m_eventLog.push(new EventLogin(*user));
    } else {
        m_screens.setIdleScreen();
        m_eventLog.push(new EventLogout());
    }
    m_ownTopics.setTechnician(m_session.sessionActive());
    m_ownTopics.publishStatus();
}

void GUIManager::rebootRequest()
{
    m_screens.showBusy(tr("Rebooting"));
    m_inspector.systemReboot();
}

void GUIManager::shutdownRequest()
{
    m_screens.showBusy(tr("Shutting down"));
    m_inspector.systemShutdown();
}

void GUIManager::exitRequest()
{
    m_screens.showBusy(tr("Exiting"));
    QTimer::singleShot(2000, this, [this] { stop(0); });
}

void GUIManager::stop(int exitCode)
{
    if (m_stopping) {
        QCoreApplication::exit(exitCode);
        return;
    }
    m_stopping = true;
    qInfo().noquote().nospace() << "[GUIManager] Stopping";
    m_eventLog.waitForWrites();
    if (!m_mqtt.isConnected()) {
        QCoreApplication::exit(exitCode);
        return;
    }
    m_ownTopics.publishStopped();
    // The screen keeps saying why the program goes: the validator turning "offline" when the
    // connection closes would bring up the out-of-order screen for the last moment.
    m_validator.blockSignals(true);
    // The goodbye and the DISCONNECT leave through the event loop; the loop ends once the
    // client reports the connection closed, or after a bound if the broker never answers.
    connect(&m_mqtt, &manager::MqttClient::disconnected, this, [exitCode] { QCoreApplication::exit(exitCode); });
    QTimer::singleShot(StopTimeoutMs, this, [exitCode] { QCoreApplication::exit(exitCode); });
    m_mqtt.disconnect();
}

void GUIManager::pruneWhenClockTrusted()
{
    // Old entries go by the wall clock, which a failed real-time clock can set far ahead:
    // wait until the board reports its clock good or NTP has synchronised, and prune once.
    if (m_pruned)
        return;
    const bool rtcGood = m_board.status() == QLatin1String("online") && !m_board.rtcFailed();
    if (!rtcGood && !m_clock.ntpSynced())
        return;
    qInfo().noquote().nospace() << "[GUIManager] Clock trusted (" << (rtcGood ? "real-time clock good" : "NTP synchronised")
                                << "): removing old event-log entries";
    m_pruned = true;
    m_eventLog.pruneOld();
}

void GUIManager::pushEvent(const QString& category, const QString& name)
{
    m_eventLog.push(new Event(category, name, QString(), QDateTime::currentDateTime()));
}

// ---------------------------------------------------------------------------------------------
// Device identity and language

void GUIManager::saveDeviceIdRequest(const QString& deviceId)
{
    qInfo().noquote().nospace() << "[GUIManager] Save Device Id request : " << deviceId;
    m_identity.setId(deviceId);
    m_screens.setIdleScreen();
}

void GUIManager::setLanguage(const QString& name)
{
    if (name == m_language)
        return;
    // The name came from a setting: whatever it holds, an address's password stays out.
    qInfo().noquote().nospace() << "[GUIManager] Language changed : " << SecretMask::maskUrlValue(name);
    if (m_translator.isEmpty()) {
        qInfo().noquote().nospace() << "[GUIManager] Loading translation file : " << TranslationFile;
        if (!m_translator.load(TranslationFile)) {
            qCritical().noquote().nospace() << "[GUIManager] ERROR: Failed to load translation file";
            return;
        }
    }
    const QLocale locale(name);
    if (locale.language() == QLocale::English) {
        QCoreApplication::removeTranslator(&m_translator);
    } else if (!QCoreApplication::installTranslator(&m_translator)) {
        qCritical().noquote().nospace() << "[GUIManager] ERROR: Failed to install translator";
        return;
    }
    QLocale::setDefault(locale);
    m_language = name;
    m_config.set(QStringLiteral("gui/locale"), name);
    emit languageChanged();
}

// ---------------------------------------------------------------------------------------------
// Own topics

void GUIManager::onMqttConnected()
{
    qInfo().noquote().nospace() << "[GUIManager] Connected to MQTT broker";
    setMessage(QStringLiteral("Connected"));
    // The client has sent the subscriptions already, so an answer to what follows is not
    // missed. The status is retained so that it replaces the retained last will of an earlier
    // run.
    m_ownTopics.publishInfo();
    m_ownTopics.publishStatus();
    m_ownTopics.publishConfig();
    m_ownTopics.republishDiagnostics();
}

void GUIManager::onMqttDisconnected()
{
    if (m_stopping)
        return;
    qWarning().noquote().nospace() << "[GUIManager] WARN: Disconnected from MQTT broker";
    setOutOfOrderScreen(QStringLiteral("Disconnected"));
}

void GUIManager::onMqttError(const QString& error)
{
    qCritical().noquote().nospace() << "[GUIManager] ERROR: " << error;
}
