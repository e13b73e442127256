#pragma once

#include <QObject>
#include <QString>

// Which colour a status text shows on the maintenance pages, as a name the pages map to the
// theme's palette: "green", "amber", "red", "grey" or "plain". Each row names its rule and the
// value its colour follows, usually its own text (the validator's reason row follows the
// status). The text itself always shows: meaning never rests on the colour alone. QML reads it
// as the `StatusRules` singleton.
class StatusRules : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // rule: "validator", "connection", "connectivity", "update" or "diagnostics"; any other
    // rule (or none) is "plain".
    Q_INVOKABLE static QString colourName(const QString& rule, const QString& value);

    static QString validator(const QString& status);
    static QString connection(const QString& state);
    static QString connectivity(const QString& value);
    static QString update(const QString& status);
    // Self-test results: empty is "not tested yet".
    static QString diagnostics(const QString& result);
};
