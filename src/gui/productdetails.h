#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// Which figures a "Valid" or "AlreadyValid" result shows under it, by product type, and how a
// period of minutes reads. The details block binds to the answers and only translates the
// words. QML reads it as the `ProductDetails` singleton.
class ProductDetails : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // "ticket", "journeys", "transfer", "period", "purse", or "" for a type without figures
    // (an unknown or missing type, or a capped product already validated).
    Q_INVOKABLE static QString kind(const QVariant& type, bool alreadyValid);
    // { "count": n, "unit": "day" | "days" | "hour" | "hours" | "min" | "mins" }: whole days
    // above a day, whole hours above two hours, else the minutes as given (nothing readable is 0).
    Q_INVOKABLE static QVariantMap period(const QVariant& minutes);
};
