#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// The passenger's card (or printed ticket) that the simulated validation service reads: it
// keeps balances and journeys across taps so that consecutive validations tell a consistent
// story, and builds the "transaction" object of a scan result.
class SimCard
{
public:
    static constexpr int Fare = 120;          // hundredths of the currency unit
    static constexpr int DailyCap = 480;

    // A result for a product type: valid, or refused with denyId. `now` is injected so that
    // the time stamps can be checked.
    QJsonObject validate(bool valid, int denyId, int type, const QDateTime& now = QDateTime::currentDateTimeUtc());

    static QString productName(int type);
    static bool knownType(int type);
    static bool knownDenyReason(int id);
    static QString stamp(const QDateTime& utc);

    int balance() const { return m_balance; }
    int journeys() const { return m_journeys; }

private:
    int m_balance = 1250;
    int m_spentToday = 0;
    int m_journeys = 10;
    int m_serial = 0;
};
