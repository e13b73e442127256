#pragma once

#include <QObject>
#include <QString>

#include <qrcodegen.hpp>

// Draws the QR code of a text as an SVG document that a QML Image shows straight from a data
// URI (the diagnostics result popup). Holds nothing: make one, ask it, drop it.
class QrCodeGenerator : public QObject
{
    Q_OBJECT

public:
    explicit QrCodeGenerator(QObject* parent = nullptr);

    // The SVG of `text` (as UTF-8) with `border` light modules around it. The library picks the
    // smallest version that fits and may raise `ecc` when that costs no size. A text too long
    // for any QR code gives an empty string and one warning naming its length.
    QString generateSvgQr(const QString& text, quint16 border, qrcodegen::QrCode::Ecc ecc) const;

    // One line of SVG: white background, one path of unit squares for the dark modules.
    QString toSvgString(const qrcodegen::QrCode& code, quint16 border) const;
};
