#include "guimanager.h"

#include "config.h"
#include "connection.h"
#include "ethernet.h"
#include "event.h"
#include "ipv4.h"
#include "logger.h"
#include "symbolimageprovider.h"
#include "transaction.h"
#include "validatorconfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QQmlContext>
#include <QQuickStyle>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <qqml.h>

#include <limits>

namespace {

const QString ValidSound = QStringLiteral("/opt/orvo/vovadudozad/Valid.wav");
const QString InvalidSound = QStringLiteral("/opt/orvo/vovadudozad/Invalid.wav");
const QString TranslationFile = QStringLiteral(":/qml/translations/VovadudozAD_el_GR.qm");
const QString PinKey = QStringLiteral("gui/settingsPin");
// Secrets stay in the settings file: never printed to the log, never published on "/config".
const QStringList SecretKeys { QStringLiteral("mqtt/password"), PinKey };

// A serial-number file is one short line; reading stops here whatever the file holds.
constexpr qint64 MaxDeviceIdBytes = 64 * 1024;

QString toText(const QVariantMap& map)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Indented));
}

QByteArray toPayload(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

// Whether a value received on "/config/set" can stand for a setting whose built-in default
// is `reference`. Text is accepted where it converts, as the settings file itself holds
// text; containers, null and fractions for whole numbers are refused.
bool acceptableSetting(const QJsonValue& value, const QVariant& reference)
{
    switch (reference.type()) {
    case QVariant::Bool:
        if (value.isBool())
            return true;
        if (value.isString()) {
            const QString text = value.toString().toLower();
            return text == QLatin1String("true") || text == QLatin1String("false");
        }
        return false;
    case QVariant::Int: {
        if (value.isDouble()) {
            const double number = value.toDouble();
            return number == double(qint64(number)) && number >= std::numeric_limits<int>::min()
                && number <= std::numeric_limits<int>::max();
        }
        bool ok = false;
        if (value.isString())
            value.toString().toInt(&ok);
        return ok;
    }
    case QVariant::String:
        return value.isString();
    default:
        return value.isString() || value.isBool() || value.isDouble();
    }
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
    , m_validator(m_mqtt, config.get(QStringLiteral("topics/blm")).toString())
    , m_board(m_mqtt, config.get(QStringLiteral("topics/board")).toString())
    , m_inspector(m_mqtt, config.get(QStringLiteral("topics/inspector")).toString())
    , m_network(m_mqtt, config.get(QStringLiteral("topics/network")).toString())
    , m_update(m_mqtt, config.get(QStringLiteral("topics/device")).toString())
    , m_clock(m_mqtt, config.get(QStringLiteral("topics/device")).toString())
    , m_session(config)
    , m_eventLog(config, eventLogDir.isEmpty() ? QCoreApplication::applicationDirPath() : eventLogDir)
    , m_diagnostics(m_deviceId, m_board, m_network, m_validator, m_update)
{
    m_screenTimer.setSingleShot(true);
    m_displayOffTimer.setSingleShot(true);

    loadDeviceId();
    initLog();
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
        setParent(window);
        m_windowGone = connect(window, &QObject::destroyed, this, [this] { setParent(nullptr); });
    }
    setLanguage(m_config.get(QStringLiteral("gui/locale")).toString());
    pushEvent(QStringLiteral("General"), QStringLiteral("Application started"));
}

// ---------------------------------------------------------------------------------------------
// Start-up steps

void GUIManager::initConfig()
{
    connect(&m_config, &Config::configChanged, this, &GUIManager::onConfigChanged);
    connect(&m_config, &Config::configFileChanged, this, &GUIManager::onConfigFileChanged);
    // The settings print goes to syslog at every start and edit; the secrets stay in the file.
    m_config.setHiddenKeys(SecretKeys);
    m_config.print();
}

void GUIManager::initLog()
{
    manager::Logger* logger = manager::Logger::instance();
    logger->setLevel(m_config.get(QStringLiteral("log/level")).toInt());
    logger->setStderr(m_config.get(QStringLiteral("log/stderr")).toBool());
    logger->setSyslog(m_config.get(QStringLiteral("log/syslog")).toBool());
    logger->setColor(m_config.get(QStringLiteral("log/color")).toBool());
}

void GUIManager::initQml()
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    qInfo().noquote().nospace() << "[GUIManager] QtQuick Style name is : " << QQuickStyle::name();

    qmlRegisterType<Transaction>("com.orvo.ticketing.transaction", 1, 0, "Transaction");
    qmlRegisterType<manager::Connection>("com.orvo.network.connection", 1, 0, "Connection");
    qmlRegisterType<IPv4>("com.orvo.network.ipv4", 1, 0, "IPv4");
    m_engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);

    m_rootContext->setContextProperty(QStringLiteral("manager"), this);
    m_rootContext->setContextProperty(QStringLiteral("board"), &m_board);
    m_rootContext->setContextProperty(QStringLiteral("inspector"), &m_inspector);
    m_rootContext->setContextProperty(QStringLiteral("transaction"), Transaction().toMap());
    m_rootContext->setContextProperty(QStringLiteral("eventLogManager"), &m_eventLog);
    m_rootContext->setContextProperty(QStringLiteral("network"), &m_network);
    m_rootContext->setContextProperty(QStringLiteral("validatorManager"), &m_validator);

    connect(&m_screenTimer, &QTimer::timeout, this, &GUIManager::onScreenTimeout);
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
        << connect(&m_mqtt, &manager::MqttClient::error, this, &GUIManager::onMqttError)
        << connect(&m_mqtt, &manager::MqttClient::received, this, &GUIManager::processMqttMessage);

    m_mqtt.setClientId(QStringLiteral("%1_%2")
                           .arg(QCoreApplication::applicationName())
                           .arg(QCoreApplication::applicationPid()));
    m_mqtt.setWillMessage(QByteArrayLiteral("{\"service\": false}"));
    m_mqtt.setWillTopic(baseTopic() + QStringLiteral("/status"));
    m_mqtt.setHostname(m_config.get(QStringLiteral("mqtt/host")).toString());
    m_mqtt.setPort(m_config.get(QStringLiteral("mqtt/port")).toInt());
    m_mqtt.setUsername(m_config.get(QStringLiteral("mqtt/username")).toString());
    m_mqtt.setPassword(m_config.get(QStringLiteral("mqtt/password")).toString());
    // "Connecting" goes up first: a broker that refuses at once reports "Disconnected" from
    // inside connect(), and that must stay the last word on the screen.
    setMessage(QStringLiteral("Connecting"));
    m_mqtt.connect();
}

void GUIManager::wire()
{
    connect(&m_validator, &manager::Validator::statusChanged, this, &GUIManager::onValidatorStatusChanged);
    connect(&m_validator, &manager::Validator::cardDetected, this, [](const QString& uid, const QString& type) {
        qWarning().noquote().nospace()
            << "[GUIManager] " << QStringLiteral("Validator card detected : uid=%1, type=%2").arg(uid, type);
    });
    connect(&m_validator, &manager::Validator::cardRemoved, this,
            [] { qWarning().noquote().nospace() << "[GUIManager] Validator card removed"; });
    connect(&m_validator, &manager::Validator::cardRetry, this, &GUIManager::onCardRetry);
    connect(&m_validator, &manager::Validator::reasonChanged, this, &GUIManager::onValidatorReasonChanged);
    connect(&m_validator, &manager::Validator::ticketValidated, this, &GUIManager::onTicketValidated);
    connect(&m_validator, &manager::Validator::maintenanceBarcodeScanned, this,
            &GUIManager::onMaintenanceBarcodeScanned);
    connect(&m_board, &manager::Board::ignitionChanged, this, &GUIManager::onIgnitionChanged);
    connect(&m_board, &manager::Board::delayShutdownForChanged, this, &GUIManager::updateBoardShutdownDelay);
    connect(&m_session, &SessionManager::accessGranted, this, &GUIManager::settingsAccessGranted);
    connect(&m_session, &SessionManager::accessDenied, this, &GUIManager::settingsAccessDenied);
    connect(&m_session, &SessionManager::expired, this, &GUIManager::setIdleScreen);
    connect(&m_session, &SessionManager::sessionActiveChanged, this, &GUIManager::onSessionActiveChanged);
    connect(&m_displayOffTimer, &QTimer::timeout, this, &GUIManager::onDisplayOffTimeout);
    connect(this, &GUIManager::screenChanged, this, &GUIManager::onScreenChanged);
    connect(&m_inspector, &manager::Inspector::systemRebootStarted, this, [this] {
        setScreen(QStringLiteral("Busy"), 30000);
        setMessage(tr("Rebooting"));
    });
    connect(&m_inspector, &manager::Inspector::systemShutdownStarted, this, [this] {
        setScreen(QStringLiteral("Busy"), 30000);
        setMessage(tr("Shutting down"));
    });
}

// ---------------------------------------------------------------------------------------------
// Properties

void GUIManager::setScreen(const QString& value)
{
    if (value == m_screen)
        return;
    qInfo().noquote().nospace() << "[GUIManager] Setting screen : " << value;
    m_screen = value;
    m_screenTimer.stop();
    emit screenChanged();
}

void GUIManager::setScreen(const QString& value, int timeout)
{
    qInfo().noquote().nospace() << "[GUIManager] Setting screen : " << value << " (timeout=" << timeout << " msec)";
    m_screenTimer.start(timeout);
    m_screen = value;
    emit screenChanged();
}

void GUIManager::setMessage(const QString& text)
{
    if (text == m_message)
        return;
    qDebug().noquote().nospace() << "[GUIManager] Setting message : " << text;
    m_message = text;
    emit messageChanged();
}

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
    return m_config.get(QStringLiteral("gui/screenSaverImg")).toString();
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

QString GUIManager::validatorReason() const
{
    QString text = m_validator.reasonCode();
    if (showErrorDesc())
        text += QLatin1Char('\n') + m_validator.reason();
    return text;
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

void GUIManager::setIdleScreen()
{
    selectIdleScreen(false);
}

void GUIManager::selectIdleScreen(bool leavingLogin)
{
    // While the PIN page stays up its own 15 s timeout keeps running, so that a suppressed
    // out-of-order screen cannot leave the page up for good.
    if (leavingLogin || m_screen != QLatin1String("Login"))
        m_screenTimer.stop();
    if (m_deviceId.isEmpty()) {
        setScreen(QStringLiteral("InitPage"));
        return;
    }
    if (m_session.sessionActive())
        return;

    const QString status = m_validator.status();
    if (status == QLatin1String("init")) {
        setScreen(QStringLiteral("Busy"));
        setMessage(tr("Please Wait"));
    } else if (status == QLatin1String("out-of-service")) {
        setScreen(QStringLiteral("OutOfService"));
        m_validator.disableRfid();
        m_validator.disableBarcode();
    } else if (status == QLatin1String("online") || status == QLatin1String("degraded")) {
        m_validator.enableRfid();
        m_validator.enableBarcode();
        setScreen(QStringLiteral("ScanScreens"));
    } else {
        showOutOfOrder(validatorReason(), leavingLogin);
        m_validator.disableRfid();
        m_validator.disableBarcode();
    }
}

void GUIManager::setOutOfOrderScreen(const QString& message)
{
    showOutOfOrder(message, false);
}

void GUIManager::showOutOfOrder(const QString& message, bool leavingLogin)
{
    // The PIN page, a parked vehicle and a technician at work all keep their screen. The PIN
    // page is only left by its timeout or a second press of the button, and then a fault
    // must show like from any other screen.
    if ((m_screen == QLatin1String("Login") && !leavingLogin) || !m_board.ignition() || m_session.sessionActive())
        return;
    setScreen(QStringLiteral("OutOfOrder"));
    setMessage(message);
}

void GUIManager::onScreenTimeout()
{
    qInfo().noquote().nospace() << "[GUIManager] Screen timeout : " << m_screen;
    selectIdleScreen(true);
}

void GUIManager::onValidatorStatusChanged()
{
    qInfo().noquote().nospace() << "[GUIManager] Validator status changed : " << m_validator.status();
    setIdleScreen();
}

void GUIManager::onValidatorReasonChanged()
{
    qWarning().noquote().nospace() << "[GUIManager] Validator reason changed : " << m_validator.reasonCode() << ' '
                                   << m_validator.reason();
    // The validator announces the status before its reason, so the out-of-order screen chosen
    // on the status change still carries the previous reason: correct it here.
    if (m_validator.status() != QLatin1String("init"))
        setMessage(validatorReason());
}

void GUIManager::onTicketValidated(const Transaction& transaction)
{
    const QVariantMap map = transaction.toMap();
    qWarning().noquote().nospace() << "[GUIManager] Validator ticket validated : " << int(transaction.type());
    qWarning().noquote().nospace() << "[GUIManager] Valid : " << (transaction.valid() ? "true" : "false");
    qWarning().noquote().nospace() << "[GUIManager] Contents : "
                                   << QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Compact);
    m_rootContext->setContextProperty(QStringLiteral("transaction"), map);

    if (m_session.sessionActive())
        return;
    if (transaction.valid()) {
        m_inspector.audioPlay(ValidSound);
        setScreen(QStringLiteral("Valid"), 3000);
        return;
    }
    m_inspector.audioPlay(InvalidSound);
    const int reason = transaction.denyReasonId();
    setScreen(reason == 103 || reason == 207 ? QStringLiteral("AlreadyValid") : QStringLiteral("Invalid"), 3000);
}

void GUIManager::onCardRetry()
{
    qWarning().noquote().nospace() << "[GUIManager] Validator card retry";
    if (m_session.sessionActive())
        return;
    m_inspector.audioPlay(InvalidSound);
    setScreen(QStringLiteral("Retry"), 3000);
}

void GUIManager::setMaintenanceScreen()
{
    if (m_session.sessionActive())
        setScreen(QStringLiteral("Settings"));
    else if (m_screen == QLatin1String("Login"))
        selectIdleScreen(true);
    else
        setScreen(QStringLiteral("Login"), 15000);
}

void GUIManager::onSessionActiveChanged()
{
    if (m_session.sessionActive()) {
        const std::optional<User> user = m_session.user();
        if (user)
            m_eventLog.push(new EventLogin(*user));
    } else {
        setIdleScreen();
        m_eventLog.push(new EventLogout());
    }
    publishStatus();
}

void GUIManager::onIgnitionChanged()
{
    if (m_board.ignition()) {
        pushEvent(QStringLiteral("Board"), QStringLiteral("Ignition on"));
        m_inspector.abortShutdown();
        setIdleScreen();
    } else {
        pushEvent(QStringLiteral("Board"), QStringLiteral("Ignition off"));
        m_session.logoutRequest();
        m_inspector.scheduleShutdown(qMax(0, shutdownDelaySec()));
        setScreen(QStringLiteral("ScreenSaver"));
    }
}

void GUIManager::onScreenChanged()
{
    const int minutes = displayOffMin();
    if (minutes <= 0)
        return;
    if (m_screen == QLatin1String("OutOfOrder") || m_screen == QLatin1String("OutOfService")) {
        qInfo().noquote().nospace() << "[GUIManager] Staring Display OFF timer : " << minutes << " min(s)";
        const qint64 millis = qint64(minutes) * 60000;
        m_displayOffTimer.start(int(qMin<qint64>(millis, std::numeric_limits<int>::max())));
        return;
    }
    if (m_displayOffTimer.isActive()) {
        qInfo().noquote().nospace() << "[GUIManager] Stopping Display OFF timer.";
        m_displayOffTimer.stop();
    }
    if (!m_board.peripheralPower(QStringLiteral("display"))) {
        qInfo().noquote().nospace() << "[GUIManager] Turning on Display.";
        m_board.setPeripheralPower(QStringLiteral("display"), true);
    }
}

void GUIManager::onDisplayOffTimeout()
{
    qWarning().noquote().nospace() << "[GUIManager] WARN: Turning off Display due to inactivity.";
    m_board.setPeripheralPower(QStringLiteral("display"), false);
}

void GUIManager::updateBoardShutdownDelay()
{
    // The board cuts the power a minute after the system was asked to shut down.
    const int wanted = int(qBound<qint64>(0, qint64(shutdownDelaySec()) + 60, std::numeric_limits<int>::max()));
    const int current = m_board.delayShutdownFor();
    if (current == wanted)
        return;
    qWarning().noquote().nospace() << "[GUIManager] WARN: Updating board shutdown delay to : " << wanted
                                   << " sec(s) (prev=" << current << ")";
    m_board.setDelayShutdownFor(wanted);
}

void GUIManager::rebootRequest()
{
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(tr("Rebooting"));
    m_inspector.systemReboot();
}

void GUIManager::shutdownRequest()
{
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(tr("Shutting down"));
    m_inspector.systemShutdown();
}

void GUIManager::exitRequest()
{
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(tr("Exiting"));
    QTimer::singleShot(2000, this, [] { QCoreApplication::exit(0); });
}

void GUIManager::pushEvent(const QString& category, const QString& name)
{
    m_eventLog.push(new Event(category, name, QString(), QDateTime::currentDateTime()));
}

// ---------------------------------------------------------------------------------------------
// Configuration

void GUIManager::onConfigFileChanged()
{
    qWarning().noquote().nospace() << "[GUIManager] WARN: Configuration file changed!";
    m_config.print();
}

void GUIManager::onConfigChanged(const QVariantMap& changes)
{
    qDebug().noquote().nospace() << "[GUIManager] Config changed : " << toText(changes);

    static const QRegularExpression logKey(QStringLiteral("log\\/.+"));
    static const QRegularExpression mqttKey(QStringLiteral("mqtt\\/.+"));
    const auto anyKey = [&changes](const QRegularExpression& expression) {
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (expression.match(it.key()).hasMatch())
                return true;
        }
        return false;
    };
    const auto value = [&changes](const char* key) { return changes.value(QLatin1String(key)); };

    // One reaction per notification: the first row that matches.
    if (changes.contains(QStringLiteral("gui/deviceId"))) {
        qInfo().noquote().nospace() << "[GUIManager] Device id changed. Re-loading";
        loadDeviceId();
    } else if (changes.contains(QStringLiteral("gui/showCursor"))) {
        qInfo().noquote().nospace() << "[GUIManager] Cursor changed : "
                                    << (value("gui/showCursor").toBool() ? "visible" : "hidden");
        emit showCursorChanged();
    } else if (changes.contains(QStringLiteral("gui/displayOffMin"))) {
        qInfo().noquote().nospace() << "[GUIManager] Display OFF interval changed : "
                                    << value("gui/displayOffMin").toString() << " min(s)";
        emit displayOffMinChanged();
    } else if (changes.contains(QStringLiteral("gui/shutdownDelaySec"))) {
        qInfo().noquote().nospace() << "[GUIManager] Shutdown delay changed : "
                                    << value("gui/shutdownDelaySec").toString() << " sec(s)";
        updateBoardShutdownDelay();
        emit shutdownDelaySecChanged();
    } else if (changes.contains(QStringLiteral("gui/locale"))) {
        setLanguage(value("gui/locale").toString());
    } else if (changes.contains(QStringLiteral("gui/showErrorDesc"))) {
        qInfo().noquote().nospace() << "[GUIManager] Show Error description changed : "
                                    << (value("gui/showErrorDesc").toBool() ? "YES" : "NO");
        setMessage(validatorReason());
        emit showErrorDescChanged();
    } else if (changes.contains(QStringLiteral("gui/screenSaverBg"))) {
        qInfo().noquote().nospace() << "[GUIManager] Screen-saver background changed : "
                                    << value("gui/screenSaverBg").toString();
        emit screenSaverBgChanged();
    } else if (changes.contains(QStringLiteral("gui/screenSaverImg"))) {
        qInfo().noquote().nospace() << "[GUIManager] Screen-saver image changed : "
                                    << value("gui/screenSaverImg").toString();
        emit screenSaverImgChanged();
    } else if (changes.contains(QStringLiteral("gui/animSwitchSec"))) {
        qInfo().noquote().nospace() << "[GUIManager] GIFs animation changed : " << value("gui/animSwitchSec").toString()
                                    << " msec(s)";
        emit animSwitchSecChanged();
    } else if (anyKey(logKey)) {
        qInfo().noquote().nospace() << "[GUIManager] Log configuration changed. Applying.";
        initLog();
    } else if (anyKey(mqttKey)) {
        qInfo().noquote().nospace() << "[GUIManager] MQTT configuration changed. Applying.";
        initMqtt();
    }
    publishConfig();
}

// ---------------------------------------------------------------------------------------------
// Device identity and language

void GUIManager::loadDeviceId()
{
    const QString path = m_config.get(QStringLiteral("gui/deviceId")).toString();
    qInfo().noquote().nospace() << "[GUIManager] Loading device id from : " << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical().noquote().nospace() << "[GUIManager] ERROR: Could not load device S/N from file : " << path << " ("
                                        << file.errorString() << ")";
        return;
    }
    while (!file.atEnd() && file.pos() < MaxDeviceIdBytes) {
        const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (line.isEmpty())
            continue;
        m_deviceId = line;
        emit deviceIdChanged();
        return;
    }
}

bool GUIManager::saveDeviceId()
{
    const QString path = m_config.get(QStringLiteral("gui/deviceId")).toString();
    qInfo().noquote().nospace() << "[GUIManager] Saving device id to : " << path;
    // Written beside the target and renamed over it, so a power cut leaves either the old or
    // the new serial number, never an empty file. Where the directory is read-only (a
    // serial-number file in a system folder) the file is written in place instead.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = file.write(m_deviceId.toUtf8()) == m_deviceId.toUtf8().size() && file.commit();
    if (ok)
        return true;
    const QString error = file.errorString();
    file.cancelWriting();
    qCritical().noquote().nospace() << "[GUIManager] ERROR: Could not save device S/N to file : " << path << " ("
                                    << error << ")";
    emit errorOccured(error);
    return false;
}

void GUIManager::setDeviceId(const QString& id)
{
    // The file keeps one trimmed line, so the id in memory is what a restart reads back.
    const QString trimmed = id.trimmed();
    if (trimmed == m_deviceId)
        return;
    // An empty id would overwrite the serial-number file with nothing.
    if (trimmed.isEmpty()) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Ignoring an empty device id";
        return;
    }
    qWarning().noquote().nospace() << "[GUIManager] Device ID changed : " << trimmed;
    m_deviceId = trimmed;
    saveDeviceId();
    emit deviceIdChanged();
}

void GUIManager::saveDeviceIdRequest(const QString& deviceId)
{
    qInfo().noquote().nospace() << "[GUIManager] Save Device Id request : " << deviceId;
    setDeviceId(deviceId);
    setIdleScreen();
}

void GUIManager::setLanguage(const QString& name)
{
    if (name == m_language)
        return;
    qInfo().noquote().nospace() << "[GUIManager] Language changed : " << name;
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

QString GUIManager::baseTopic() const
{
    return m_config.get(QStringLiteral("mqtt/base")).toString();
}

void GUIManager::onMqttConnected()
{
    qInfo().noquote().nospace() << "[GUIManager] Connected to MQTT broker";
    setMessage(QStringLiteral("Connected"));
    subscribeToTopics();
    publishInfo();
    publishStatus();
    publishConfig();
}

void GUIManager::onMqttDisconnected()
{
    qWarning().noquote().nospace() << "[GUIManager] WARN: Disconnected from MQTT broker";
    setOutOfOrderScreen(QStringLiteral("Disconnected"));
}

void GUIManager::onMqttError(const QString& error)
{
    qCritical().noquote().nospace() << "[GUIManager] ERROR: " << error;
}

void GUIManager::subscribeToTopics()
{
    const QString base = baseTopic();
    m_mqtt.subscribe(base + QStringLiteral("/info/get"));
    m_mqtt.subscribe(base + QStringLiteral("/status/get"));
    m_mqtt.subscribe(base + QStringLiteral("/config/get"));
    m_mqtt.subscribe(base + QStringLiteral("/config/set"));
}

void GUIManager::processMqttMessage(const QByteArray& data, const QByteArray& topic)
{
    const QByteArray base = baseTopic().toUtf8();
    if (!topic.contains(base))
        return;
    qInfo().noquote().nospace() << "[GUIManager] Message received : " << QString::fromUtf8(topic);
    qDebug().noquote().nospace() << "[GUIManager] Data : " << QString::fromUtf8(data.left(4096));

    if (topic.contains("/info/get")) {
        publishInfo();
    } else if (topic.contains("/status/get")) {
        publishStatus();
    } else if (topic.contains("/config/get")) {
        publishConfig();
    } else if (topic.contains("/config/set")) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(data, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            qWarning().noquote().nospace() << "[GUIManager] WARN: Ignoring configuration request: "
                                           << (error.error != QJsonParseError::NoError ? error.errorString()
                                                                                      : QStringLiteral("not an object"));
            return;
        }
        // Only values that can stand for the setting reach the store: a container or a
        // word where a number belongs would otherwise be saved and read back as 0.
        const QJsonObject request = document.object();
        QJsonObject accepted;
        for (auto group = request.constBegin(); group != request.constEnd(); ++group) {
            if (!group.value().isObject()) {
                qWarning().noquote().nospace() << "[GUIManager] WARN: Ignoring configuration group : " << group.key();
                continue;
            }
            const QJsonObject members = group.value().toObject();
            QJsonObject kept;
            for (auto member = members.constBegin(); member != members.constEnd(); ++member) {
                const QString key = group.key() + QLatin1Char('/') + member.key();
                const QVariant reference = Defaults.value(key, m_config.get(key));
                if (!reference.isValid())
                    continue; // unknown to the store, which ignores it anyway
                if (!acceptableSetting(member.value(), reference)) {
                    qWarning().noquote().nospace() << "[GUIManager] WARN: Ignoring invalid value for : " << key;
                    continue;
                }
                kept.insert(member.key(), member.value());
            }
            if (!kept.isEmpty())
                accepted.insert(group.key(), kept);
        }
        m_config.fromJson(accepted);
    }
}

void GUIManager::publishInfo()
{
    m_mqtt.publish(infoPayload(), baseTopic() + QStringLiteral("/info"));
}

void GUIManager::publishStatus()
{
    m_mqtt.publish(statusPayload(), baseTopic() + QStringLiteral("/status"));
}

void GUIManager::publishConfig()
{
    m_mqtt.publish(configPayload(), baseTopic() + QStringLiteral("/config"));
}

QByteArray GUIManager::infoPayload() const
{
    return toPayload(QJsonObject { { QStringLiteral("version"), QCoreApplication::applicationVersion() } });
}

QByteArray GUIManager::statusPayload() const
{
    return toPayload(QJsonObject { { QStringLiteral("technician"), m_session.sessionActive() },
                                   { QStringLiteral("service"), true } });
}

QByteArray GUIManager::configPayload() const
{
    // The maintenance PIN and the broker password never travel over the broker;
    // "/config/set" may still set them.
    QJsonObject config = m_config.toJson();
    for (const QString& key : SecretKeys) {
        const QString group = key.section(QLatin1Char('/'), 0, 0);
        QJsonObject members = config.value(group).toObject();
        members.remove(key.section(QLatin1Char('/'), 1));
        config.insert(group, members);
    }
    return toPayload(config);
}

// ---------------------------------------------------------------------------------------------
// Maintenance configuration barcode

void GUIManager::onMaintenanceBarcodeScanned(const QJsonObject& data)
{
    qInfo().noquote().nospace() << "[GUIManager] Maintenance Barcode scanned";
    if (!m_session.sessionActive()) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Maintenance session is not active. Ignoring.";
        return;
    }
    QStringList applied;

    if (data.contains(QStringLiteral("validator"))) {
        const QString obc = data.value(QStringLiteral("validator")).toObject().value(QStringLiteral("obc")).toString();
        const QUrl url(obc, QUrl::TolerantMode);
        if (!obc.isEmpty() && url.isValid()) {
            qInfo().noquote().nospace() << "[GUIManager] Applying Validator configuration";
            applied << QStringLiteral("OBC : %1").arg(url.toString());
            m_validator.config()->setObuUrl(url);
            m_validator.saveConfig();
        } else {
            qWarning().noquote().nospace() << "[GUIManager] WARN: OBC URL is not valid : " << obc;
        }
    }

    const QJsonObject network = data.value(QStringLiteral("network")).toObject();
    if (network.contains(QStringLiteral("eth0"))) {
        const QJsonObject eth0 = network.value(QStringLiteral("eth0")).toObject();
        const auto text = [&eth0](const char* key) { return eth0.value(QLatin1String(key)).toString(); };
        const QString method = text("method");
        const QString address = text("address");
        const QString netmask = text("netmask");
        const QString gateway = text("gateway");
        const QString dns0 = text("dns0");
        const QString dns1 = text("dns1");
        manager::Ethernet* ethernet = m_network.ethernet();
        if (ethernet->interface() == QLatin1String("eth0")) {
            applied << QStringLiteral("Method : %1").arg(method) << QStringLiteral("Address : %1").arg(address)
                    << QStringLiteral("Netmask : %1").arg(netmask) << QStringLiteral("Gateway : %1").arg(gateway)
                    << QStringLiteral("DNS #0 : %1").arg(dns0) << QStringLiteral("DNS #1 : %1").arg(dns1);
            const bool manual = method == QLatin1String("manual");
            IPv4* config = ethernet->config();
            ethernet->setMethod(manual ? QStringLiteral("manual") : QStringLiteral("auto"));
            config->setAddress(manual ? address : QString());
            config->setMask(manual ? netmask : QString());
            config->setGateway(manual ? gateway : QString());
            config->setDns0(manual ? dns0 : QString());
            config->setDns1(manual ? dns1 : QString());
            qInfo().noquote().nospace() << "[GUIManager] Applying Ethernet configuration to eth0";
            ethernet->save();
        } else {
            qWarning().noquote().nospace() << "[GUIManager] WARN: Active ethernet interface is not 'eth0' : "
                                           << ethernet->interface();
        }
    }

    if (!applied.isEmpty()) {
        m_inspector.audioPlay(ValidSound);
        m_board.setLedValid();
        emit barcodeConfigurationApplied(applied);
    }
}
