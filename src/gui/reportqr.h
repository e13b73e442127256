#pragma once

#include <QObject>
#include <QString>

// How the diagnostics report's QR code is drawn on the report popup. Phones only read a code
// with a light quiet zone of four modules around it, and the page is dark: the code sits on a
// white square with three modules more than its own one-module border, drawn at a whole number
// of pixels per module so that no module blurs. QML reads it as the `ReportQr` singleton.
class ReportQr : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int extraModules READ extraModules CONSTANT)
public:
    using QObject::QObject;

    static int extraModules() { return 3; }
    // Modules across the code's SVG data URI, its own border included (from its viewBox);
    // 0 for anything else.
    Q_INVOKABLE static int modules(const QString& uri);
    // Whole pixels per module so that the code and the quiet zone fit in `space` pixels; at
    // least 1, and 0 without a code.
    Q_INVOKABLE static int modulePixels(int modules, int space);
    // The data URI as an image source: the SVG percent-encoded, since its colours' "#" would
    // otherwise end the URL. Empty when the text is not a data URI.
    Q_INVOKABLE static QString imageUrl(const QString& uri);
};
