#pragma once

#include "transactionview.h"

#include <QJsonObject>
#include <QObject>

class DisplayLatency;
class ScreenController;

// What the window learns of the controller's screen and of the last result, handed over at
// most once per turn of the event loop. A burst of results then costs QML one update showing
// the last of them, not one per message; the controller's own state changes at once, so its
// decisions and timers do not wait for the window.
class DisplayFeed : public QObject
{
    Q_OBJECT
public:
    DisplayFeed(ScreenController& screens, DisplayLatency& latency, QObject* parent = nullptr);

    // The window's `transaction`.
    TransactionView* transaction() { return &m_transaction; }

    // A new result (the service's "transaction" object); it reaches the window with the
    // screen change it causes, before it.
    void setTransaction(const QJsonObject& transaction);

    // Hands over what is pending now (also what the queued turn does).
    void flush();

signals:
    // The controller's screen changed since the last turn (the window reads it then).
    void screenChanged();

private:
    void schedule();

    ScreenController& m_screens;
    DisplayLatency& m_latency;
    TransactionView m_transaction;
    QJsonObject m_pendingTransaction;
    bool m_transactionPending = false;
    bool m_screenPending = false;
    bool m_scheduled = false;
};
