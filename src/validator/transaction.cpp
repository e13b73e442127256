#include "transaction.h"

#include <QJsonValue>

#include <climits>

namespace {

struct DenyReason
{
    int id;
    const char* text;
};

// Ids 203/207 and 250..255 share their texts on purpose: the screens tell "already validated"
// apart by id, not by text.
const DenyReason denyReasons[] = {
    {100, QT_TRANSLATE_NOOP("Transaction", "The ticket is invalid")},
    {101, QT_TRANSLATE_NOOP("Transaction", "The ticket has expired")},
    {102, QT_TRANSLATE_NOOP("Transaction", "The ticket is not allowed in this route")},
    {103, QT_TRANSLATE_NOOP("Transaction", "The ticket has already been validated")},
    {104, QT_TRANSLATE_NOOP("Transaction", "The ticket is not yet active")},
    {105, QT_TRANSLATE_NOOP("Transaction", "Please try again")},
    {106, QT_TRANSLATE_NOOP("Transaction", "The ticket does not belong to this operator")},
    {107, QT_TRANSLATE_NOOP("Transaction", "The ticket has an invalid passenger profile")},
    {108, QT_TRANSLATE_NOOP("Transaction", "The ticket is not allowed in this axis")},
    {109, QT_TRANSLATE_NOOP("Transaction", "The ticket is not allowed in this zone")},
    {110, QT_TRANSLATE_NOOP("Transaction", "The ticket has invalid timestamp")},
    {200, QT_TRANSLATE_NOOP("Transaction", "The card is invalid")},
    {201, QT_TRANSLATE_NOOP("Transaction", "The card has expired")},
    {202, QT_TRANSLATE_NOOP("Transaction", "The card is not allowed in this route")},
    {203, QT_TRANSLATE_NOOP("Transaction", "The card has already been validated")},
    {204, QT_TRANSLATE_NOOP("Transaction", "The card does not have enough trips")},
    {205, QT_TRANSLATE_NOOP("Transaction", "The card does not have sufficient balance")},
    {206, QT_TRANSLATE_NOOP("Transaction", "This card can no longer be used")},
    {207, QT_TRANSLATE_NOOP("Transaction", "The card has already been validated")},
    {208, QT_TRANSLATE_NOOP("Transaction", "The card is not active")},
    {209, QT_TRANSLATE_NOOP("Transaction", "The card does not belong to this operator")},
    {210, QT_TRANSLATE_NOOP("Transaction", "Insufficient balance")},
    {211, QT_TRANSLATE_NOOP("Transaction", "Temporarily not available")},
    {250, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
    {251, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
    {252, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
    {253, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
    {254, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
    {255, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
    {300, QT_TRANSLATE_NOOP("Transaction", "The product is blocked")},
    {301, QT_TRANSLATE_NOOP("Transaction", "The product is not yet active")},
    {500, QT_TRANSLATE_NOOP("Transaction", "Internal Error")},
};

const QString keyFrom = QStringLiteral("fromStopGroupName");
const QString keyTo = QStringLiteral("toStopGroupName");
const QString keyDeducted = QStringLiteral("deducted");
const QString keyRemaining = QStringLiteral("remaining");
const QString keyActivation = QStringLiteral("activationTimestamp");
const QString keyExpires = QStringLiteral("expires");
const QString keyTransfer = QStringLiteral("transferRemainingMin");

} // namespace

Transaction::Transaction(QObject* parent)
    : QObject(parent)
{
}

Transaction::Transaction(const QJsonObject& transaction, QObject* parent)
    : QObject(parent)
    , m_transaction(transaction)
{
}

bool Transaction::valid() const
{
    return m_transaction.value(QLatin1String("result")).toBool();
}

Transaction::Type Transaction::type() const
{
    return static_cast<Type>(m_transaction.value(QLatin1String("type")).toInt());
}

int Transaction::denyReasonId() const
{
    const QJsonObject reason = m_transaction.value(QLatin1String("denyReason")).toObject();
    return reason.value(QLatin1String("id")).toInt();
}

QString Transaction::denyReason() const
{
    // Translated on every read so that a language switch shows on the next result.
    const int id = denyReasonId();
    for (const DenyReason& reason : denyReasons) {
        if (reason.id == id)
            return tr(reason.text);
    }
    return tr("Unknown Error");
}

QString Transaction::ticketId() const
{
    return m_transaction.value(QLatin1String("ticketId")).toString();
}

QString Transaction::fareProduct() const
{
    return m_transaction.value(QLatin1String("fareProductName")).toString();
}

QString Transaction::passengerType() const
{
    return m_transaction.value(QLatin1String("passengerTypeName")).toString();
}

QVariantMap Transaction::ticket() const
{
    return {};
}

QVariantMap Transaction::defaultDetails() const
{
    return {
        {keyFrom, QString()},
        {keyTo, QString()},
        {keyDeducted, 0.0},
        {keyRemaining, 0.0},
        {keyActivation, QDateTime()},
        {keyExpires, QDateTime()},
        {keyTransfer, 0},
    };
}

QVariantMap Transaction::details() const
{
    QVariantMap details = defaultDetails();
    const QJsonObject card = m_transaction.value(QLatin1String("card")).toObject();

    switch (type()) {
    case BarcodeTicket: {
        const QJsonObject barcode = m_transaction.value(QLatin1String("barcode")).toObject();
        details[keyFrom] = barcode.value(keyFrom).toString();
        details[keyTo] = barcode.value(keyTo).toString();
        details[keyTransfer] = barcode.value(keyTransfer).toInt();
        break;
    }
    case EPurse:
    case EPurseCapping: {
        // Money arrives in hundredths; subtract before scaling so no rounding creeps in.
        const int before = card.value(QLatin1String("balanceBefore")).toInt();
        const int after = card.value(QLatin1String("balanceAfter")).toInt();
        details[keyDeducted] = (qint64(before) - qint64(after)) / 100.0;
        details[keyRemaining] = after / 100.0;
        break;
    }
    case StoredJourneys:
    case StoredJourneysTransfer:
    case StoredJourneysCapping: {
        const QJsonObject journeys = card.value(QLatin1String("storedJourneys")).toObject();
        details[keyActivation] = convertTimestamp(journeys.value(keyActivation).toString());
        details[keyRemaining] = journeys.value(QLatin1String("after")).toInt();
        details[keyTransfer] = journeys.value(keyTransfer).toInt();
        break;
    }
    case PeriodPass: {
        const QJsonObject pass = card.value(QLatin1String("periodPass")).toObject();
        const QJsonValue minutesValue = pass.value(QLatin1String("remainingMinutes"));
        const qint64 minutes = (minutesValue.isUndefined() || minutesValue.isNull())
            ? qint64(pass.value(QLatin1String("remainingDays")).toInt()) * 1440
            : minutesValue.toInt();
        details[keyActivation] = convertTimestamp(pass.value(keyActivation).toString());
        // Kept as int for the screens; days beyond the int range cannot be meant seriously.
        details[keyRemaining] = int(qBound<qint64>(INT_MIN, minutes, INT_MAX));
        // The expiry is relative to the moment the screen asks, not to the message.
        details[keyExpires] = QDateTime::currentDateTime().addSecs(minutes * 60);
        break;
    }
    case EPurseTransfer:
        details[keyDeducted] = 0;
        details[keyRemaining] = card.value(QLatin1String("balanceAfter")).toInt() / 100.0;
        details[keyTransfer] =
            card.value(QLatin1String("ePurse")).toObject().value(keyTransfer).toInt();
        break;
    }
    return details;
}

QVariantMap Transaction::toMap() const
{
    QVariantMap map;
    map.insert(QStringLiteral("valid"), valid());
    map.insert(QStringLiteral("type"), int(type()));
    map.insert(QStringLiteral("denyReason"), denyReason());
    map.insert(QStringLiteral("denyReasonId"), denyReasonId());
    map.insert(QStringLiteral("fareProduct"), fareProduct());
    map.insert(QStringLiteral("passengerType"), passengerType());
    map.insert(QStringLiteral("details"), details());
    return map;
}

QDateTime Transaction::convertTimestamp(const QString& text)
{
    // Date and time are parsed apart and joined as UTC: parsing the whole text as one date-time
    // would first read it as local time, which fails for instants in the local clock-change gap.
    if (text.size() != 20 || text.at(10) != QLatin1Char('T') || text.at(19) != QLatin1Char('Z'))
        return {};
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11, 8), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC).toLocalTime();
}
