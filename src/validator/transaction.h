#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariantMap>

// One validation result as the validation service reports it. Every value is derived on demand
// from the service's "transaction" object; the record itself never changes. The result screens
// read its map form (toMap), never the object, because the object only lives for the duration
// of one ticketValidated emission.
class Transaction : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool valid READ valid CONSTANT)
    Q_PROPERTY(Type type READ type CONSTANT)
    Q_PROPERTY(int denyReasonId READ denyReasonId CONSTANT)
    Q_PROPERTY(QString denyReason READ denyReason CONSTANT)
    Q_PROPERTY(QString ticketId READ ticketId CONSTANT)
    Q_PROPERTY(QString fareProduct READ fareProduct CONSTANT)
    Q_PROPERTY(QString passengerType READ passengerType CONSTANT)
    Q_PROPERTY(QVariantMap details READ details CONSTANT)
    Q_PROPERTY(QVariantMap ticket READ ticket CONSTANT)

public:
    // Product types as the validation service numbers them. The underlying type is fixed so that
    // any number the service sends is a valid value; only these get product-specific details.
    enum Type : int {
        BarcodeTicket = 0,
        EPurse = 2,
        StoredJourneys = 5,
        PeriodPass = 8,
        StoredJourneysTransfer = 12,
        EPurseTransfer = 14,
        EPurseCapping = 15,
        StoredJourneysCapping = 16,
    };
    Q_ENUM(Type)

    explicit Transaction(QObject* parent = nullptr);
    Transaction(const QJsonObject& transaction, QObject* parent);

    bool valid() const;
    Type type() const;
    int denyReasonId() const;
    QString denyReason() const;
    QString ticketId() const;
    QString fareProduct() const;
    QString passengerType() const;
    QVariantMap details() const;
    QVariantMap ticket() const;

    QVariantMap defaultDetails() const;
    QVariantMap toMap() const;
    // The service's "transaction" object as it came: what a later copy of the record is built from.
    QJsonObject json() const { return m_transaction; }

    // "yyyy-MM-ddTHH:mm:ssZ" in UTC to local time; anything else gives an invalid date-time.
    static QDateTime convertTimestamp(const QString& text);

private:
    QJsonObject m_transaction;
};
