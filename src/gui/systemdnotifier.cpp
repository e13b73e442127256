#include "systemdnotifier.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

#include <systemd/sd-daemon.h>

#include <climits>

SystemdNotifier::SystemdNotifier(QObject* parent)
    : QObject(parent)
{
    m_watchdog.setObjectName(QStringLiteral("watchdogTimer"));
    connect(&m_watchdog, &QTimer::timeout, this, &SystemdNotifier::ping);
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &SystemdNotifier::notifyStopping);

    // Without a socket to send to (run by hand) a leftover WATCHDOG_USEC starts nothing.
    uint64_t usec = 0;
    if (!qEnvironmentVariableIsEmpty("NOTIFY_SOCKET") && sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        // Half the interval, as systemd recommends, so one late ping is not yet a restart.
        const uint64_t half = usec / 2000;
        m_watchdog.setInterval(int(qBound<uint64_t>(1, half, uint64_t(INT_MAX))));
        m_watchdog.start();
        qInfo().noquote().nospace() << "[Systemd] Watchdog ping every " << m_watchdog.interval() << " ms";
    }
}

void SystemdNotifier::readyOnFirstFrame(QQmlApplicationEngine& engine)
{
    const QList<QObject*> roots = engine.rootObjects();
    QQuickWindow* window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    if (!window) {
        qWarning().noquote().nospace() << "[Systemd] WARN: No window to wait for; not reporting ready";
        return;
    }
    readyOnFirstFrame(window);
}

void SystemdNotifier::readyOnFirstFrame(QQuickWindow* window)
{
    if (m_ready || !window)
        return;
    disconnect(m_frameConnection);
    // frameSwapped comes from the render thread when there is one; the context object makes
    // the reaction run on the GUI thread.
    m_frameConnection = connect(window, &QQuickWindow::frameSwapped, this, [this] {
        disconnect(m_frameConnection);
        notifyReady();
    });
}

void SystemdNotifier::notifyReady()
{
    if (m_ready)
        return;
    m_ready = true;
    if (sd_notify(0, "READY=1") > 0)
        qInfo().noquote().nospace() << "[Systemd] Ready";
}

void SystemdNotifier::notifyStopping()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_watchdog.stop();
    sd_notify(0, "STOPPING=1");
}

void SystemdNotifier::ping()
{
    sd_notify(0, "WATCHDOG=1");
}
