// Draws the display's own pictures into a folder laid out like qml/images:
//   NFC/0.png .. NFC/6.png        the validator on its pole, a hand bringing a card to the reader
//   Barcode/0.png .. Barcode/8.png the validator, a phone with a QR code rising into the red beam
//   background.png                480 x 800
//   Flags/gr.png, Flags/uk.png    100 x 100, round, the size the header shows them at
//   Icons/orvo.png                the maker's logo, 327 x 176
//   Icons/back.png, Icons/menu.png, Icons/drawer.png  toolbar icons, 48 x 48
// Usage: vovadudoz_artwork <output folder>
#include "drawing.h"
#include "frames.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

using art::canvas;
using art::pen;
using art::Accent;

QImage background()
{
    QImage image(480, 800, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient base(0, 0, 0, 800);
    base.setColorAt(0, QColor(0x0c, 0x1c, 0x2c));
    base.setColorAt(1, QColor(0x02, 0x07, 0x10));
    p.fillRect(image.rect(), base);
    QRadialGradient glow(QPointF(380, 140), 420);
    glow.setColorAt(0, QColor(0x00, 0xad, 0xd7, 60));
    glow.setColorAt(1, QColor(0x00, 0xad, 0xd7, 0));
    p.fillRect(image.rect(), glow);
    p.setPen(QPen(QColor(255, 255, 255, 10), 40));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(-200 + i * 190, 800), QPointF(300 + i * 190, 0));
    p.end();
    // Saved without an alpha channel: an opaque picture is copied rather than blended, which is
    // most of a redraw's cost when the processor draws the window.
    return image.convertToFormat(QImage::Format_RGB32);
}

// A flag as a disc two thirds of the picture wide, drawn at the 100 px the header shows it at
// (scaled up from fewer pixels it looks soft), so that it covers the 70 px header button with a
// thin accent ring left.
template <typename Draw>
QImage roundFlag(Draw draw)
{
    QImage image = canvas(QSize(100, 100));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(17, 17, 66, 66);
    QPainterPath clip;
    clip.addEllipse(disc);
    p.setClipPath(clip);
    draw(p, disc);
    p.setClipping(false);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    return image;
}

void drawGreekFlag(QPainter& p, const QRectF& r)
{
    const QColor blue(0x0d, 0x5e, 0xaf);
    const qreal stripe = r.height() / 9;
    for (int i = 0; i < 9; ++i)
        p.fillRect(QRectF(r.x(), r.y() + i * stripe, r.width(), stripe + 0.5), i % 2 ? Qt::white : blue);
    const QRectF canton(r.x(), r.y(), 5 * stripe, 5 * stripe);
    p.fillRect(canton, blue);
    p.fillRect(QRectF(canton.x(), canton.y() + 2 * stripe, canton.width(), stripe), Qt::white);
    p.fillRect(QRectF(canton.x() + 2 * stripe, canton.y(), stripe, canton.height()), Qt::white);
}

void drawUkFlag(QPainter& p, const QRectF& r)
{
    const QColor blue(0x01, 0x21, 0x69), red(0xc8, 0x10, 0x2e);
    p.fillRect(r, blue);
    const qreal u = r.height() / 30;
    p.setPen(QPen(Qt::white, 6 * u));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    p.setPen(QPen(red, 2 * u));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    const QPointF c = r.center();
    p.fillRect(QRectF(r.x(), c.y() - 5 * u, r.width(), 10 * u), Qt::white);
    p.fillRect(QRectF(c.x() - 5 * u, r.y(), 10 * u, r.height()), Qt::white);
    p.fillRect(QRectF(r.x(), c.y() - 3 * u, r.width(), 6 * u), red);
    p.fillRect(QRectF(c.x() - 3 * u, r.y(), 6 * u, r.height()), red);
}

QImage logo()
{
    QImage image = canvas(QSize(327, 176));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A ring for the "o" of the mark, then the word.
    p.setPen(QPen(Accent, 14));
    p.drawEllipse(QPointF(64, 84), 42, 42);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QPointF(64, 84), 12, 12);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(92);
    QPainterPath word;
    word.addText(0, 0, font, QStringLiteral("rvo"));
    const QRectF box = word.boundingRect();
    p.setBrush(Qt::white);
    p.drawPath(word.translated(124 - box.left(), 84 - box.center().y()));
    p.setPen(pen(Accent, 6));
    p.drawLine(QPointF(124, 150), QPointF(300, 150));
    return image;
}

template <typename Draw>
QImage toolbarIcon(Draw draw)
{
    QImage image = canvas(QSize(48, 48));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(pen(Qt::white, 4));
    p.setBrush(Qt::white);
    draw(p);
    return image;
}

bool save(const QImage& image, const QString& folder, const QString& name)
{
    const QString path = folder + QLatin1Char('/') + name;
    if (!QDir().mkpath(QFileInfo(path).path()) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "vovadudoz_artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing text needs the font database, hence a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vovadudoz_artwork <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);

    bool ok = true;
    for (int i = 0; i < 7; ++i)
        ok &= save(art::cardFrame(i), out, QStringLiteral("NFC/%1.png").arg(i));
    for (int i = 0; i < 9; ++i)
        ok &= save(art::ticketFrame(i), out, QStringLiteral("Barcode/%1.png").arg(i));
    ok &= save(background(), out, QStringLiteral("background.png"));
    ok &= save(roundFlag(drawGreekFlag), out, QStringLiteral("Flags/gr.png"));
    ok &= save(roundFlag(drawUkFlag), out, QStringLiteral("Flags/uk.png"));
    ok &= save(logo(), out, QStringLiteral("Icons/orvo.png"));
    ok &= save(toolbarIcon([](QPainter& p) {
                   p.drawLine(QPointF(10, 24), QPointF(38, 24));
                   p.drawLine(QPointF(10, 24), QPointF(22, 12));
                   p.drawLine(QPointF(10, 24), QPointF(22, 36));
               }), out, QStringLiteral("Icons/back.png"));
    ok &= save(toolbarIcon([](QPainter& p) {
                   for (int y : {12, 24, 36})
                       p.drawEllipse(QPointF(24, y), 3.5, 3.5);
               }), out, QStringLiteral("Icons/menu.png"));
    ok &= save(toolbarIcon([](QPainter& p) {
                   for (int y : {14, 24, 34})
                       p.drawLine(QPointF(10, y), QPointF(38, y));
               }), out, QStringLiteral("Icons/drawer.png"));
    return ok ? 0 : 1;
}
