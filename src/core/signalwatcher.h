#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns the stop signals of the process (SIGTERM from systemd, SIGINT from a terminal, SIGHUP)
// into a Qt signal on the GUI thread's event loop, so that the program leaves through its
// normal exit path instead of being killed where it stands. The handler only writes the signal
// number into a pipe (the one thing a signal handler may safely do); the event loop reads it.
// One object per process; `main` makes it right after the application object.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(const QList<int>& signalNumbers, QObject* parent = nullptr);
    // Gives the signals their default actions back.
    ~SignalWatcher() override;

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QList<int> m_signals;
    QSocketNotifier* m_notifier = nullptr;
};
