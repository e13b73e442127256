#include "simcard.h"

#include <QJsonValue>

QString SimCard::stamp(const QDateTime& utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

bool SimCard::knownType(int type)
{
    switch (type) {
    case 0: case 2: case 5: case 8: case 12: case 14: case 15: case 16:
        return true;
    default:
        return false;
    }
}

bool SimCard::knownDenyReason(int id)
{
    return (id >= 100 && id <= 110) || (id >= 200 && id <= 211) || (id >= 250 && id <= 255) || id == 300 || id == 301
        || id == 500;
}

QString SimCard::productName(int type)
{
    switch (type) {
    case 0: return QStringLiteral("Single ticket 90'");
    case 2: return QStringLiteral("E-purse");
    case 15: return QStringLiteral("E-purse, daily cap");
    case 5: return QStringLiteral("10 journeys");
    case 16: return QStringLiteral("10 journeys, daily cap");
    case 12: return QStringLiteral("Transfer");
    case 8: return QStringLiteral("30-day pass");
    case 14: return QStringLiteral("Transfer on e-purse");
    default: return QStringLiteral("Product %1").arg(type);
    }
}

QJsonObject SimCard::validate(bool valid, int denyId, int type, const QDateTime& now)
{
    ++m_serial;
    QJsonObject transaction {
        { QStringLiteral("result"), valid },
        { QStringLiteral("type"), type },
        { QStringLiteral("ticketId"), QStringLiteral("%1-%2").arg(type == 0 ? QStringLiteral("QR") : QStringLiteral("CARD"))
                                                              .arg(m_serial, 6, 10, QLatin1Char('0')) },
        { QStringLiteral("fareProductName"), productName(type) },
        { QStringLiteral("passengerTypeName"), type == 8 ? QStringLiteral("Student") : QStringLiteral("Adult") },
    };
    if (!valid)
        transaction.insert(QStringLiteral("denyReason"), QJsonObject { { QStringLiteral("id"), denyId } });

    if (type == 0) {
        transaction.insert(QStringLiteral("barcode"),
                           QJsonObject { { QStringLiteral("fromStopGroupName"), QStringLiteral("Harbour") },
                                         { QStringLiteral("toStopGroupName"), QStringLiteral("Old Town") },
                                         { QStringLiteral("transferRemainingMin"), valid ? 90 : 0 } });
        return transaction;
    }

    // A refused card keeps its balance and journeys.
    QJsonObject card;
    switch (type) {
    case 2:
    case 15: {
        if (valid && m_balance < Fare)
            m_balance += 2000;   // topped up at the kiosk so the story can go on
        const int before = m_balance;
        if (valid) {
            const int charge = type == 15 ? qBound(0, DailyCap - m_spentToday, Fare) : Fare;
            m_balance -= charge;
            m_spentToday += charge;
        }
        card.insert(QStringLiteral("balanceBefore"), before);
        card.insert(QStringLiteral("balanceAfter"), m_balance);
        break;
    }
    case 5:
    case 16:
    case 12:
        if (valid && type != 12) {
            if (m_journeys == 0)
                m_journeys = 10;
            --m_journeys;
        }
        card.insert(QStringLiteral("storedJourneys"),
                    QJsonObject { { QStringLiteral("activationTimestamp"), stamp(now) },
                                  { QStringLiteral("after"), m_journeys },
                                  { QStringLiteral("transferRemainingMin"), type == 12 ? 47 : (valid ? 90 : 0) } });
        break;
    case 8:
        card.insert(QStringLiteral("periodPass"),
                    QJsonObject { { QStringLiteral("remainingDays"), 23 },
                                  { QStringLiteral("remainingMinutes"), QJsonValue::Null },
                                  { QStringLiteral("activationTimestamp"), stamp(now.addDays(-7)) } });
        break;
    case 14:
        card.insert(QStringLiteral("balanceBefore"), m_balance);
        card.insert(QStringLiteral("balanceAfter"), m_balance);
        card.insert(QStringLiteral("ePurse"), QJsonObject { { QStringLiteral("transferRemainingMin"), 52 } });
        break;
    default:
        card.insert(QStringLiteral("balanceBefore"), m_balance);
        card.insert(QStringLiteral("balanceAfter"), m_balance);
        break;
    }
    transaction.insert(QStringLiteral("card"), card);
    return transaction;
}
