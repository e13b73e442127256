#pragma once

#include <QJsonObject>
#include <QObject>
#include <QVariantMap>

// The last validation result as the result screens read it (the window's `transaction`): the
// map form of the transaction record, one property per key. QML reads each property once per
// change instead of converting a whole map on every read; `changed` fires once per new result.
class TransactionView : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool valid READ valid NOTIFY changed)
    Q_PROPERTY(int type READ type NOTIFY changed)
    Q_PROPERTY(QString denyReason READ denyReason NOTIFY changed)
    Q_PROPERTY(int denyReasonId READ denyReasonId NOTIFY changed)
    Q_PROPERTY(QString fareProduct READ fareProduct NOTIFY changed)
    Q_PROPERTY(QString passengerType READ passengerType NOTIFY changed)
    Q_PROPERTY(QVariantMap details READ details NOTIFY changed)

public:
    // Starts with the result of an empty record, as before any scan.
    explicit TransactionView(QObject* parent = nullptr);

    // The service's "transaction" object, turned into the record's map form.
    void setTransaction(const QJsonObject& transaction);
    QVariantMap toMap() const { return m_map; }

    bool valid() const { return m_map.value(QStringLiteral("valid")).toBool(); }
    int type() const { return m_map.value(QStringLiteral("type")).toInt(); }
    QString denyReason() const { return m_map.value(QStringLiteral("denyReason")).toString(); }
    int denyReasonId() const { return m_map.value(QStringLiteral("denyReasonId")).toInt(); }
    QString fareProduct() const { return m_map.value(QStringLiteral("fareProduct")).toString(); }
    QString passengerType() const { return m_map.value(QStringLiteral("passengerType")).toString(); }
    QVariantMap details() const { return m_map.value(QStringLiteral("details")).toMap(); }

signals:
    void changed();

private:
    QVariantMap m_map;
};
