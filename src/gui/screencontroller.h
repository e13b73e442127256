#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class Config;
class DeviceIdentity;
class SessionManager;
class Transaction;

namespace manager {
class Board;
class Inspector;
class Validator;
} // namespace manager

// Decides which screen the passenger display shows. It turns the validation service's status
// and results, card retries, the ignition, the maintenance button and the power requests into
// screens, timed returns to the idle screen, sounds and display power. One single-shot timer
// ends every timed screen, and every timed screen comes back through the idle selection.
//
// The GUI manager owns it and forwards its `screen` and `message` to QML; the log lines keep
// the GUI manager's tag, as the screens are still the GUI manager's to the people reading them.
class ScreenController : public QObject
{
    Q_OBJECT
public:
    ScreenController(Config& config, manager::Validator& validator, manager::Board& board,
                     manager::Inspector& inspector, SessionManager& session, const DeviceIdentity& identity,
                     QObject* parent = nullptr);

    QString screen() const { return m_screen; }
    // Untimed: no change for the screen already shown; stops a running timeout.
    void setScreen(const QString& value);
    // Timed: always announces the screen and restarts the timeout, even for the same screen.
    void setScreen(const QString& value, int timeoutMs);
    QString message() const { return m_message; }
    void setMessage(const QString& text);

    // The reason code, plus a newline and the reason text when descriptions are shown.
    QString validatorReason() const;

    const QTimer& screenTimer() const { return m_screenTimer; }
    const QTimer& displayOffTimer() const { return m_displayOffTimer; }

public slots:
    void setIdleScreen();
    void setOutOfOrderScreen(const QString& message);
    void setMaintenanceScreen();
    void showValidation(const Transaction& transaction);
    void showCardRetry();
    void showBusy(const QString& message);
    void onIgnitionChanged();
    void updateBoardShutdownDelay();
    // What a timer's expiry runs; tests call these instead of waiting.
    void onScreenTimeout();
    void onDisplayOffTimeout();

signals:
    void screenChanged();
    void messageChanged();
    // A notable moment for the event log ("Board", "Ignition on").
    void eventOccurred(const QString& category, const QString& name);
    // A validation result went up on the screen (not during a maintenance session).
    void resultShown();

private slots:
    void onValidatorStatusChanged();
    void onValidatorReasonChanged();
    void onScreenChanged();

private:
    void selectIdleScreen(bool leavingLogin);
    void showOutOfOrder(const QString& message, bool leavingLogin);
    int displayOffMin() const;
    int shutdownDelaySec() const;

    Config& m_config;
    manager::Validator& m_validator;
    manager::Board& m_board;
    manager::Inspector& m_inspector;
    SessionManager& m_session;
    const DeviceIdentity& m_identity;
    QString m_screen;
    QString m_message;
    QTimer m_screenTimer;
    QTimer m_displayOffTimer;
};
