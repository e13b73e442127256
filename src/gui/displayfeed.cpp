#include "displayfeed.h"

#include "displaylatency.h"
#include "screencontroller.h"

DisplayFeed::DisplayFeed(ScreenController& screens, DisplayLatency& latency, QObject* parent)
    : QObject(parent)
    , m_screens(screens)
    , m_latency(latency)
{
    connect(&m_screens, &ScreenController::screenChanged, this, [this] {
        m_screenPending = true;
        schedule();
    });
}

void DisplayFeed::setTransaction(const QJsonObject& transaction)
{
    m_pendingTransaction = transaction;
    m_transactionPending = true;
    schedule();
}

void DisplayFeed::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    // Queued: runs once the messages read in this turn have all been handled.
    QMetaObject::invokeMethod(this, &DisplayFeed::flush, Qt::QueuedConnection);
}

void DisplayFeed::flush()
{
    m_scheduled = false;
    // The result first: the screen it brings binds to it as soon as it shows.
    if (m_transactionPending) {
        m_transactionPending = false;
        m_transaction.setTransaction(m_pendingTransaction);
        m_pendingTransaction = QJsonObject();
    }
    if (m_screenPending) {
        m_screenPending = false;
        emit screenChanged();
    }
    m_latency.resultShown();
}
