#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <zbar.h>

// Reads QR codes back from our SVG the way a scanner would: draws the document with Qt SVG and
// hands the pixels to the zbar decoder. The decoder's own character-set guessing is switched
// off, so the bytes of the code come back as they were encoded.
namespace QrScan {

using namespace zbar;

// The SVG drawn `pixels` wide in the middle of a white square with a quiet zone around it (a
// phone reads the code off a white popup; the image itself carries one module of border).
inline QImage render(const QString& svg, int pixels)
{
    QSvgRenderer renderer(svg.toUtf8());
    const int margin = pixels / 8;
    QImage image(pixels + 2 * margin, pixels + 2 * margin, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (renderer.isValid()) {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(margin, margin, pixels, pixels));
    }
    return image;
}

inline QList<QByteArray> decode(const QImage& picture)
{
    const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
    QByteArray pixels;
    pixels.reserve(gray.width() * gray.height());
    for (int y = 0; y < gray.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(gray.constScanLine(y)), gray.width());

    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, unsigned(gray.width()), unsigned(gray.height()));
    zbar_image_set_data(image, pixels.constData(), unsigned(pixels.size()), nullptr);

    QList<QByteArray> found;
    if (zbar_scan_image(scanner, image) > 0) {
        for (const zbar_symbol_t* symbol = zbar_image_first_symbol(image); symbol;
             symbol = zbar_symbol_next(symbol)) {
            found.append(QByteArray(zbar_symbol_get_data(symbol), int(zbar_symbol_get_data_length(symbol))));
        }
    }
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    return found;
}

// The text of the one QR code in the SVG, or a null string when none (or several) is found.
inline QString scan(const QString& svg, int pixels = 400)
{
    const QList<QByteArray> found = decode(render(svg, pixels));
    return found.size() == 1 ? QString::fromUtf8(found.first()) : QString();
}

} // namespace QrScan
