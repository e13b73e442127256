#include "transactionview.h"

#include "transaction.h"

TransactionView::TransactionView(QObject* parent)
    : QObject(parent)
    , m_map(Transaction().toMap())
{
}

void TransactionView::setTransaction(const QJsonObject& transaction)
{
    m_map = Transaction(transaction, nullptr).toMap();
    emit changed();
}
