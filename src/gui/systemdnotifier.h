#pragma once

#include <QObject>
#include <QTimer>

class QQmlApplicationEngine;
class QQuickWindow;

// Keeps systemd informed when the program runs as its Type=notify service: READY=1 once the
// window has shown its first frame, WATCHDOG=1 from the GUI thread's event loop at half the
// interval systemd asked for (so a blocked GUI thread stops the pings and systemd restarts
// the program), STOPPING=1 when the event loop ends. systemd names its socket in
// NOTIFY_SOCKET and the watchdog interval in WATCHDOG_USEC; without them (run by hand, from a
// test) nothing is sent and nothing changes.
class SystemdNotifier : public QObject
{
    Q_OBJECT
public:
    explicit SystemdNotifier(QObject* parent = nullptr);

    // Sends READY=1 after the first frame of the engine's first root window, or of window.
    // An engine without a window root object never becomes ready: systemd then gives up
    // after its start timeout, which is what a program with no screen deserves.
    void readyOnFirstFrame(QQmlApplicationEngine& engine);
    void readyOnFirstFrame(QQuickWindow* window);

    bool isReady() const { return m_ready; }
    // The ping period in milliseconds, 0 when systemd asked for no watchdog.
    int watchdogInterval() const { return m_watchdog.isActive() ? m_watchdog.interval() : 0; }

public slots:
    void notifyReady();
    void notifyStopping();

private:
    void ping();

    QTimer m_watchdog;
    bool m_ready = false;
    bool m_stopping = false;
    QMetaObject::Connection m_frameConnection;
};
