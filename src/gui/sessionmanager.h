#pragma once

#include "user.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class SettingsFile;

class Config;

// The maintenance PIN session. The GUI manager forwards the PIN page's requests here and
// follows the session through the signals; a session ends on logout or after ten minutes.
//
// PIN guessing: every run of five wrong PINs refuses every login for a while, a minute after
// the first run and twice as long after each further one (60 s, 120 s, 240 s, ... at most an
// hour); a correct PIN starts afresh. The count and the end of the lock-out are kept in the
// state folder, so that a restart does not clear them.
//
// For the PIN page: `lockedOut` and `lockoutRemainingSec` tell whether logins are refused and
// for how many more seconds (rounded up); `lockoutChanged` fires when a lock-out starts, once
// a second while it runs, and when it ends. A refused login still emits `accessDenied`.
class SessionManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool sessionActive READ sessionActive NOTIFY sessionActiveChanged)
    Q_PROPERTY(bool lockedOut READ lockedOut NOTIFY lockoutChanged)
    Q_PROPERTY(int lockoutRemainingSec READ lockoutRemainingSec NOTIFY lockoutChanged)
public:
    static constexpr int SessionTimeoutMs = 600000;
    static constexpr int MaxFailedLogins = 5;
    static constexpr int LockoutMs = 60000;
    static constexpr int MaxLockoutMs = 3600000;
    // The file beside the event log that keeps the lock-out across restarts.
    static constexpr const char* StateFileName = "login.ini";

    // stateDir: where the lock-out is kept; empty keeps it in memory only.
    explicit SessionManager(Config& config, const QString& stateDir = QString(), QObject* parent = nullptr);
    ~SessionManager() override;

    bool sessionActive() const;
    std::optional<User> user() const;
    int remainingTime() const;
    bool lockedOut() const { return lockoutRemainingSec() > 0; }
    int lockoutRemainingSec() const;
    // Length of the lock-out that the next run of wrong PINs will start.
    int nextLockoutMs() const;

    // Milliseconds of a monotonic clock, used for the login lock-out; tests replace it.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock);

    // The session timer, so that its owner can check its interval and state.
    const QTimer& sessionTimer() const { return m_timer; }
    // Ticks once a second while locked out.
    const QTimer& lockoutTimer() const { return m_lockoutTick; }
    // True while the kept lock-out waits for another writer's lock on its file.
    bool isSavePending() const;

signals:
    void sessionActiveChanged();
    void lockoutChanged();
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
    void onLockoutTick();

private:
    void loadLockout();
    // Keeps the lock-out; a write that would wait on a lock is done a little later.
    void saveLockout(qint64 lockoutMs);
    void writeLockout() const;

    Config& m_config;
    QTimer m_timer;
    QList<User> m_users;
    int m_current = -1; // index into m_users; survives a rebuild of the list
    int m_failedLogins = 0;    // wrong PINs since the last lock-out or correct PIN
    int m_lockouts = 0;        // lock-outs since the last correct PIN
    qint64 m_lockedUntil = -1; // clock value at which the lock-out ends; -1 when not locked
    Clock m_clock;
    QString m_stateFile;
    QTimer m_lockoutTick;
    qint64 m_savedLockoutMs = 0;
    // Last: a write still waiting at destruction reads the members above.
    std::unique_ptr<SettingsFile> m_stateWriter;
};
