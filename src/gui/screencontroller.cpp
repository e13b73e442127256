#include "screencontroller.h"

#include "board.h"
#include "config.h"
#include "deviceidentity.h"
#include "inspector.h"
#include "sessionmanager.h"
#include "sounds.h"
#include "transaction.h"
#include "validator.h"

#include <QCoreApplication>
#include <QDebug>

#include <limits>

namespace {

const QString ValidSound = Sounds::valid();
const QString InvalidSound = Sounds::invalid();
const QString Display = QStringLiteral("display");
constexpr int ResultMs = 3000;
constexpr int LoginMs = 15000;
constexpr int BusyMs = 30000;

} // namespace

ScreenController::ScreenController(Config& config, manager::Validator& validator, manager::Board& board,
                                   manager::Inspector& inspector, SessionManager& session,
                                   const DeviceIdentity& identity, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_validator(validator)
    , m_board(board)
    , m_inspector(inspector)
    , m_session(session)
    , m_identity(identity)
{
    m_screenTimer.setSingleShot(true);
    m_displayOffTimer.setSingleShot(true);
    connect(&m_screenTimer, &QTimer::timeout, this, &ScreenController::onScreenTimeout);
    connect(&m_displayOffTimer, &QTimer::timeout, this, &ScreenController::onDisplayOffTimeout);
    connect(this, &ScreenController::screenChanged, this, &ScreenController::onScreenChanged);
    connect(&m_validator, &manager::Validator::statusChanged, this, &ScreenController::onValidatorStatusChanged);
    connect(&m_validator, &manager::Validator::reasonChanged, this, &ScreenController::onValidatorReasonChanged);
    connect(&m_validator, &manager::Validator::cardRetry, this, &ScreenController::showCardRetry);
    connect(&m_board, &manager::Board::ignitionChanged, this, &ScreenController::onIgnitionChanged);
    connect(&m_board, &manager::Board::delayShutdownForChanged, this, &ScreenController::updateBoardShutdownDelay);
    connect(&m_session, &SessionManager::expired, this, &ScreenController::setIdleScreen);
}

void ScreenController::setScreen(const QString& value)
{
    if (value == m_screen)
        return;
    qInfo().noquote().nospace() << "[GUIManager] Setting screen : " << value;
    m_screen = value;
    m_screenTimer.stop();
    emit screenChanged();
}

void ScreenController::setScreen(const QString& value, int timeoutMs)
{
    qInfo().noquote().nospace() << "[GUIManager] Setting screen : " << value << " (timeout=" << timeoutMs << " msec)";
    m_screenTimer.start(timeoutMs);
    m_screen = value;
    emit screenChanged();
}

void ScreenController::setMessage(const QString& text)
{
    if (text == m_message)
        return;
    qDebug().noquote().nospace() << "[GUIManager] Setting message : " << text;
    m_message = text;
    emit messageChanged();
}

QString ScreenController::validatorReason() const
{
    QString text = m_validator.reasonCode();
    if (m_config.get(QStringLiteral("gui/showErrorDesc")).toBool())
        text += QLatin1Char('\n') + m_validator.reason();
    return text;
}

int ScreenController::displayOffMin() const
{
    return m_config.get(QStringLiteral("gui/displayOffMin")).toInt();
}

int ScreenController::shutdownDelaySec() const
{
    return m_config.get(QStringLiteral("gui/shutdownDelaySec")).toInt();
}

void ScreenController::setIdleScreen()
{
    selectIdleScreen(false);
}

void ScreenController::selectIdleScreen(bool leavingLogin)
{
    // While the PIN page stays up its own 15 s timeout keeps running, so that a suppressed
    // out-of-order screen cannot leave the page up for good.
    if (leavingLogin || m_screen != QLatin1String("Login"))
        m_screenTimer.stop();
    if (m_identity.id().isEmpty()) {
        setScreen(QStringLiteral("InitPage"));
        return;
    }
    if (m_session.sessionActive())
        return;

    const QString status = m_validator.status();
    if (status == QLatin1String("init")) {
        setScreen(QStringLiteral("Busy"));
        setMessage(QCoreApplication::translate("GUIManager", "Please Wait"));
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

void ScreenController::setOutOfOrderScreen(const QString& message)
{
    showOutOfOrder(message, false);
}

void ScreenController::showOutOfOrder(const QString& message, bool leavingLogin)
{
    // The PIN page, a parked vehicle and a technician at work all keep their screen. The PIN
    // page is only left by its timeout or a second press of the button, and then a fault
    // must show like from any other screen.
    if ((m_screen == QLatin1String("Login") && !leavingLogin) || !m_board.ignition() || m_session.sessionActive())
        return;
    setScreen(QStringLiteral("OutOfOrder"));
    setMessage(message);
}

void ScreenController::onScreenTimeout()
{
    qInfo().noquote().nospace() << "[GUIManager] Screen timeout : " << m_screen;
    selectIdleScreen(true);
}

void ScreenController::onValidatorStatusChanged()
{
    qInfo().noquote().nospace() << "[GUIManager] Validator status changed : " << m_validator.status();
    setIdleScreen();
}

void ScreenController::onValidatorReasonChanged()
{
    qWarning().noquote().nospace() << "[GUIManager] Validator reason changed : " << m_validator.reasonCode() << ' '
                                   << m_validator.reason();
    // The validator announces the status before its reason, so the out-of-order screen chosen
    // on the status change still carries the previous reason: correct it here.
    if (m_validator.status() != QLatin1String("init"))
        setMessage(validatorReason());
}

void ScreenController::showValidation(const Transaction& transaction)
{
    if (m_session.sessionActive())
        return;
    if (transaction.valid()) {
        m_inspector.audioPlay(ValidSound);
        setScreen(QStringLiteral("Valid"), ResultMs);
    } else {
        m_inspector.audioPlay(InvalidSound);
        const int reason = transaction.denyReasonId();
        setScreen(reason == 103 || reason == 207 ? QStringLiteral("AlreadyValid") : QStringLiteral("Invalid"),
                  ResultMs);
    }
    emit resultShown();
}

void ScreenController::showCardRetry()
{
    qWarning().noquote().nospace() << "[GUIManager] Validator card retry";
    if (m_session.sessionActive())
        return;
    m_inspector.audioPlay(InvalidSound);
    setScreen(QStringLiteral("Retry"), ResultMs);
}

void ScreenController::showBusy(const QString& message)
{
    setScreen(QStringLiteral("Busy"), BusyMs);
    setMessage(message);
}

void ScreenController::setMaintenanceScreen()
{
    if (m_session.sessionActive())
        setScreen(QStringLiteral("Settings"));
    else if (m_screen == QLatin1String("Login"))
        selectIdleScreen(true);
    else
        setScreen(QStringLiteral("Login"), LoginMs);
}

void ScreenController::onIgnitionChanged()
{
    if (m_board.ignition()) {
        emit eventOccurred(QStringLiteral("Board"), QStringLiteral("Ignition on"));
        m_inspector.abortShutdown();
        setIdleScreen();
    } else {
        emit eventOccurred(QStringLiteral("Board"), QStringLiteral("Ignition off"));
        m_session.logoutRequest();
        m_inspector.scheduleShutdown(qMax(0, shutdownDelaySec()));
        setScreen(QStringLiteral("ScreenSaver"));
    }
}

void ScreenController::onScreenChanged()
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
    if (!m_board.peripheralPower(Display)) {
        qInfo().noquote().nospace() << "[GUIManager] Turning on Display.";
        m_board.setPeripheralPower(Display, true);
    }
}

void ScreenController::onDisplayOffTimeout()
{
    qWarning().noquote().nospace() << "[GUIManager] WARN: Turning off Display due to inactivity.";
    m_board.setPeripheralPower(Display, false);
}

void ScreenController::updateBoardShutdownDelay()
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
