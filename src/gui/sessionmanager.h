#pragma once

#include "user.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class Config;

// The maintenance PIN session. The GUI manager forwards the PIN page's requests here and
// follows the session through the signals; a session ends on logout or after ten minutes.
// Five wrong PINs in a row refuse every login for a minute, so the PIN cannot be guessed
// by trying codes on the touch screen.
class SessionManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool sessionActive READ sessionActive NOTIFY sessionActiveChanged)
public:
    static constexpr int SessionTimeoutMs = 600000;
    static constexpr int MaxFailedLogins = 5;
    static constexpr int LockoutMs = 60000;

    explicit SessionManager(Config& config, QObject* parent = nullptr);

    bool sessionActive() const;
    std::optional<User> user() const;
    int remainingTime() const;

    // Milliseconds of a monotonic clock, used for the login lock-out; tests replace it.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock);

    // The session timer, so that its owner can check its interval and state.
    const QTimer& sessionTimer() const { return m_timer; }

signals:
    void sessionActiveChanged();
    void accessGranted();
    void accessDenied();
    void expired();

public slots:
    void loginRequest(const QString& pin);
    void logoutRequest();
    void resetTimer();

private slots:
    void loadUsers();
    void onExpired();

private:
    Config& m_config;
    QTimer m_timer;
    QList<User> m_users;
    int m_current = -1; // index into m_users; survives a rebuild of the list
    int m_failedLogins = 0;
    qint64 m_lockedUntil = -1; // clock value at which the lock-out ends; -1 when not locked
    Clock m_clock;
};
