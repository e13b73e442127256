#include "qrcodegenerator.h"

#include <QDebug>

#include <string>

QrCodeGenerator::QrCodeGenerator(QObject* parent)
    : QObject(parent)
{
}

QString QrCodeGenerator::generateSvgQr(const QString& text, quint16 border, qrcodegen::QrCode::Ecc ecc) const
{
    const QByteArray utf8 = text.toUtf8();
    try {
        return toSvgString(qrcodegen::QrCode::encodeText(utf8.constData(), ecc), border);
    } catch (const qrcodegen::data_too_long&) {
        qWarning().noquote().nospace() << "[QrCodeGenerator] WARN: Text of " << utf8.size()
                                       << " bytes does not fit a QR code; no image";
    } catch (const std::exception& e) {
        // The library documents no other failure for text input; keep the program alive anyway.
        qWarning().noquote().nospace() << "[QrCodeGenerator] WARN: Could not encode a text of " << utf8.size()
                                       << " bytes: " << e.what();
    }
    return QString();
}

QString QrCodeGenerator::toSvgString(const qrcodegen::QrCode& code, quint16 border) const
{
    const int size = code.getSize();
    const std::string total = std::to_string(size + 2 * int(border));

    // Built as bytes: a few thousand short commands, each appended once (ASCII only).
    std::string svg;
    svg.reserve(400 + std::size_t(size) * std::size_t(size) * 8);
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 ";
    svg += total;
    svg += ' ';
    svg += total;
    svg += "\" stroke=\"none\"><rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/><path d=\"";
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (!code.getModule(x, y))
                continue;
            if (x != 0 || y != 0)
                svg += ' ';
            svg += 'M';
            svg += std::to_string(x + int(border));
            svg += ',';
            svg += std::to_string(y + int(border));
            svg += "h1v1h-1z";
        }
    }
    svg += "\" fill=\"#000000\"/></svg>";
    return QString::fromLatin1(svg.data(), int(svg.size()));
}
