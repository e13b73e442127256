#include "statusrules.h"

namespace {

const QString Green = QStringLiteral("green");
const QString Amber = QStringLiteral("amber");
const QString Red = QStringLiteral("red");
const QString Grey = QStringLiteral("grey");
const QString Plain = QStringLiteral("plain");

} // namespace

QString StatusRules::colourName(const QString& rule, const QString& value)
{
    if (rule == QLatin1String("validator"))
        return validator(value);
    if (rule == QLatin1String("connection"))
        return connection(value);
    if (rule == QLatin1String("connectivity"))
        return connectivity(value);
    if (rule == QLatin1String("update"))
        return update(value);
    if (rule == QLatin1String("diagnostics"))
        return diagnostics(value);
    return Plain;
}

QString StatusRules::validator(const QString& status)
{
    if (status == QLatin1String("init") || status == QLatin1String("out-of-service")
        || status == QLatin1String("degraded"))
        return Amber;
    if (status == QLatin1String("offline"))
        return Red;
    return Green;
}

QString StatusRules::connection(const QString& state)
{
    if (state == QLatin1String("Connected"))
        return Green;
    if (state == QLatin1String("Disconnected"))
        return Red;
    return Amber;
}

QString StatusRules::connectivity(const QString& value)
{
    if (value == QLatin1String("Full"))
        return Green;
    if (value == QLatin1String("Portal") || value == QLatin1String("Limited"))
        return Amber;
    return Red;
}

QString StatusRules::update(const QString& status)
{
    if (status == QLatin1String("Disconnected"))
        return Red;
    if (status == QLatin1String("Ready to install"))
        return Green;
    if (status == QLatin1String("Downloading") || status == QLatin1String("Installing"))
        return Amber;
    return Plain;
}

QString StatusRules::diagnostics(const QString& result)
{
    if (result.isEmpty())
        return Grey;
    if (result == QLatin1String("OK"))
        return Green;
    if (result.contains(QLatin1String("ERROR")))
        return Red;
    return Amber;
}
