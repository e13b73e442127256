// Draws the display's own pictures into a folder laid out like qml/images:
//   NFC/0.png .. NFC/6.png        the validator on its pole, a hand bringing a card to the reader
//   Barcode/0.png .. Barcode/8.png the validator, a phone with a QR code rising into the red beam
//   background.png                480 x 800
//   Flags/gr.png, Flags/uk.png    60 x 60, round
//   Icons/orvo.png                the maker's logo, 327 x 176
//   Icons/back.png, Icons/menu.png, Icons/drawer.png  toolbar icons, 48 x 48
// Usage: vovadudoz_artwork <output folder>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

const QSize FrameSize(480, 536);
const QColor Line(0xd8, 0xe6, 0xee);
const QColor Accent(0x00, 0xad, 0xd7);
const QColor Beam(0xe0, 0x20, 0x20);

QImage canvas(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPen pen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The validator on its pole, in outline. Its card reader target is centred at (210, 262), the
// barcode window at the bottom of the body.
void drawValidator(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(Line, 5));
    p.drawRoundedRect(QRectF(110, 40, 200, 320), 26, 26);      // body
    p.setPen(pen(Line, 3));
    p.drawRoundedRect(QRectF(132, 64, 156, 120), 8, 8);         // screen
    p.drawEllipse(QPointF(210, 262), 44, 44);                   // reader target
    for (int r = 1; r <= 3; ++r)                                 // reader mark
        p.drawArc(QRectF(196 - 8 * r, 262 - 8 * r, 16 * r, 16 * r), -45 * 16, 90 * 16);
    p.drawEllipse(QPointF(196, 262), 3, 3);
    p.setPen(pen(Line, 4));
    p.drawRoundedRect(QRectF(168, 332, 84, 14), 5, 5);          // barcode window
    p.setPen(pen(Line, 5));
    p.drawLine(QPointF(196, 360), QPointF(196, 536));            // pole
    p.drawLine(QPointF(224, 360), QPointF(224, 536));
}

void drawCardInHand(QPainter& p, const QPointF& centre, qreal angle)
{
    p.save();
    p.translate(centre);
    p.rotate(angle);
    // Sleeve and palm first, the card over them, the thumb over the card.
    p.setPen(pen(Line, 4));
    p.setBrush(QColor(0x14, 0x1e, 0x2a));
    p.drawRoundedRect(QRectF(30, 40, 90, 200), 20, 20);
    p.drawRoundedRect(QRectF(10, 0, 90, 95), 38, 38);
    p.setBrush(QColor(0x0b, 0x25, 0x33));
    p.setPen(pen(Accent, 4));
    p.drawRoundedRect(QRectF(-70, -48, 130, 84), 10, 10);
    p.setPen(pen(Accent, 3));
    p.drawRoundedRect(QRectF(-54, -26, 26, 20), 4, 4);            // chip
    p.drawLine(QPointF(-54, 16), QPointF(10, 16));
    p.setPen(pen(Line, 4));
    p.setBrush(QColor(0x14, 0x1e, 0x2a));
    p.drawRoundedRect(QRectF(18, -10, 62, 26), 13, 13);          // thumb
    p.restore();
}

void drawWaves(QPainter& p, const QPointF& centre, int count)
{
    p.setPen(pen(Accent, 4));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= count; ++i) {
        const qreal r = 60 + 18 * i;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 100 * 16, 70 * 16);
    }
}

QImage cardFrame(int frame)
{
    QImage image = canvas(FrameSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawValidator(p);
    // Frames 0 to 4 bring the card in, 5 and 6 hold it on the reader while it is read.
    const qreal t = qMin(1.0, frame / 4.0);
    const qreal ease = t * t * (3 - 2 * t);
    const QPointF start(420, 470), end(222, 270);
    drawCardInHand(p, start + (end - start) * ease, -18 + 8 * ease);
    if (frame >= 5)
        drawWaves(p, QPointF(210, 262), frame - 3);
    return image;
}

void drawQrCode(QPainter& p, const QRectF& area)
{
    const int cells = 21;
    const qreal cell = area.width() / cells;
    auto finder = [&](int cx, int cy) {
        p.fillRect(QRectF(area.x() + cx * cell, area.y() + cy * cell, 7 * cell, 7 * cell), Qt::black);
        p.fillRect(QRectF(area.x() + (cx + 1) * cell, area.y() + (cy + 1) * cell, 5 * cell, 5 * cell), Qt::white);
        p.fillRect(QRectF(area.x() + (cx + 2) * cell, area.y() + (cy + 2) * cell, 3 * cell, 3 * cell), Qt::black);
    };
    p.fillRect(area, Qt::white);
    unsigned state = 0x2545f491u;
    for (int y = 0; y < cells; ++y) {
        for (int x = 0; x < cells; ++x) {
            state = state * 1103515245u + 12345u;
            const bool inFinder = (x < 8 && y < 8) || (x > 12 && y < 8) || (x < 8 && y > 12);
            if (!inFinder && (state >> 16) % 2)
                p.fillRect(QRectF(area.x() + x * cell, area.y() + y * cell, cell, cell), Qt::black);
        }
    }
    finder(0, 0);
    finder(14, 0);
    finder(0, 14);
}

QImage ticketFrame(int frame)
{
    QImage image = canvas(FrameSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A steady beam: it never blinks.
    QPolygonF beam;
    beam << QPointF(176, 346) << QPointF(244, 346) << QPointF(300, 500) << QPointF(120, 500);
    QLinearGradient fade(0, 346, 0, 500);
    fade.setColorAt(0, QColor(Beam.red(), Beam.green(), Beam.blue(), 150));
    fade.setColorAt(1, QColor(Beam.red(), Beam.green(), Beam.blue(), 20));
    p.setPen(Qt::NoPen);
    p.setBrush(fade);
    p.drawPolygon(beam);
    drawValidator(p);

    // Frames 0 to 6 raise the phone into the beam, 7 and 8 hold it there while it is read.
    const qreal t = qMin(1.0, frame / 6.0);
    const qreal ease = t * t * (3 - 2 * t);
    const QPointF start(360, 560), end(210, 430);
    const QPointF centre = start + (end - start) * ease;
    p.save();
    p.translate(centre);
    p.rotate(-20 * (1 - ease));
    p.setPen(pen(Line, 4));
    p.setBrush(QColor(0x14, 0x1e, 0x2a));
    p.drawRoundedRect(QRectF(-52, -30, 104, 180), 14, 14);
    drawQrCode(p, QRectF(-38, -14, 76, 76));
    p.restore();
    if (frame >= 7) {
        p.setPen(pen(Beam, 3));
        p.drawLine(QPointF(centre.x() - 46, centre.y() + 6 + (frame - 7) * 40),
                   QPointF(centre.x() + 46, centre.y() + 6 + (frame - 7) * 40));
    }
    return image;
}

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
    return image;
}

// A flag as a disc two thirds of the picture wide, so that shown at 100 px in the 70 px header
// button it covers the button with a thin accent ring left.
template <typename Draw>
QImage roundFlag(Draw draw)
{
    QImage image = canvas(QSize(60, 60));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(10, 10, 40, 40);
    QPainterPath clip;
    clip.addEllipse(disc);
    p.setClipPath(clip);
    draw(p, disc);
    p.setClipping(false);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1));
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
        ok &= save(cardFrame(i), out, QStringLiteral("NFC/%1.png").arg(i));
    for (int i = 0; i < 9; ++i)
        ok &= save(ticketFrame(i), out, QStringLiteral("Barcode/%1.png").arg(i));
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
