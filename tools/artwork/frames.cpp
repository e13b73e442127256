#include "frames.h"

#include "drawing.h"
#include "hand.h"

#include <QLinearGradient>
#include <QPainter>

namespace art {

namespace {

const QSize FrameSize(480, 536);
// The validator's parts the animations aim at.
const QPointF ReaderCentre(210, 230);
const QRectF BarcodeWindow(168, 296, 84, 14);
// Where the pictures start to fade out towards their lower edge.
const qreal FadeFrom = 470;

// The validator on its pole, in outline.
void drawValidator(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(Line, 5));
    p.drawRoundedRect(QRectF(110, 24, 200, 296), 26, 26);      // body
    p.setPen(pen(Line, 3));
    p.drawRoundedRect(QRectF(132, 46, 156, 108), 8, 8);         // screen
    p.drawEllipse(ReaderCentre, 44, 44);                        // reader target
    const QPointF mark = ReaderCentre - QPointF(14, 0);
    for (int r = 1; r <= 3; ++r)                                 // contactless mark
        p.drawArc(QRectF(mark.x() - 8 * r, mark.y() - 8 * r, 16 * r, 16 * r), -45 * 16, 90 * 16);
    p.drawEllipse(mark, 3, 3);
    p.setPen(pen(Line, 4));
    p.drawRoundedRect(BarcodeWindow, 5, 5);
    p.setPen(pen(Line, 5));
    p.drawLine(QPointF(196, 320), QPointF(196, FrameSize.height()));   // pole
    p.drawLine(QPointF(224, 320), QPointF(224, FrameSize.height()));
}

// Everything below FadeFrom thins out to nothing at the lower edge.
void fadeOut(QImage& image)
{
    QPainter p(&image);
    QLinearGradient mask(0, FadeFrom, 0, image.height());
    mask.setColorAt(0, QColor(0, 0, 0, 255));
    mask.setColorAt(1, QColor(0, 0, 0, 0));
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.fillRect(QRectF(0, FadeFrom, image.width(), image.height() - FadeFrom), mask);
}

qreal smoothstep(qreal t)
{
    t = qBound(0.0, t, 1.0);
    return t * t * (3 - 2 * t);
}

void drawCard(QPainter& p)
{
    p.setBrush(QColor(0x0b, 0x25, 0x33));
    p.setPen(pen(Accent, 4));
    p.drawRoundedRect(QRectF(-65, -41, 130, 82), 10, 10);
    p.setPen(pen(Accent, 3));
    p.drawRoundedRect(QRectF(-50, -22, 26, 20), 4, 4);            // chip
    p.drawLine(QPointF(-50, 18), QPointF(6, 18));
    p.drawLine(QPointF(-50, 28), QPointF(-14, 28));
}

void drawWaves(QPainter& p, int count)
{
    p.setPen(pen(Accent, 4));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= count; ++i) {
        const qreal r = 60 + 18 * i;
        p.drawArc(QRectF(ReaderCentre.x() - r, ReaderCentre.y() - r, 2 * r, 2 * r), 100 * 16, 70 * 16);
    }
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

void drawPhone(QPainter& p)
{
    p.setPen(pen(Line, 4));
    p.setBrush(Fill);
    p.drawRoundedRect(QRectF(-50, -90, 100, 180), 14, 14);
    p.setPen(pen(Line, 2));
    p.drawLine(QPointF(-12, -80), QPointF(12, -80));             // earpiece
    drawQrCode(p, QRectF(-38, -70, 76, 76));
}

} // namespace

QImage cardFrame(int frame)
{
    QImage image = canvas(FrameSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawValidator(p);
    // Frames 0 to 4 bring the card in from the lower right, 5 and 6 hold it on the reader while
    // it is read. The card starts whole in the picture, never as a sliver at its edge.
    const qreal ease = smoothstep(frame / 4.0);
    const QPointF start(326, 428), end = ReaderCentre + QPointF(12, 8);
    p.save();
    p.translate(start + (end - start) * ease);
    p.rotate(-12 + 8 * ease);
    drawHandBehind(p, Grip::Card);
    drawCard(p);
    drawHandInFront(p, Grip::Card);
    p.restore();
    if (frame >= 5)
        drawWaves(p, frame - 3);
    p.end();
    fadeOut(image);
    return image;
}

QImage ticketFrame(int frame)
{
    QImage image = canvas(FrameSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A steady beam: it never blinks.
    const qreal beamTop = BarcodeWindow.bottom();
    QPolygonF beam;
    beam << QPointF(BarcodeWindow.left() + 8, beamTop) << QPointF(BarcodeWindow.right() - 8, beamTop)
         << QPointF(300, 470) << QPointF(120, 470);
    QLinearGradient fade(0, beamTop, 0, 470);
    fade.setColorAt(0, QColor(Beam.red(), Beam.green(), Beam.blue(), 150));
    fade.setColorAt(1, QColor(Beam.red(), Beam.green(), Beam.blue(), 20));
    p.setPen(Qt::NoPen);
    p.setBrush(fade);
    p.drawPolygon(beam);
    drawValidator(p);

    // Frames 0 to 6 raise the phone from the lower right into the beam, 7 and 8 hold it there
    // while it is read. It starts whole in the picture, never as a corner at its edge.
    const qreal ease = smoothstep(frame / 6.0);
    const QPointF start(340, 440), end(210, 412);
    const QPointF centre = start + (end - start) * ease;
    p.save();
    p.translate(centre);
    p.rotate(18 * (1 - ease));
    drawHandBehind(p, Grip::Phone);
    drawPhone(p);
    drawHandInFront(p, Grip::Phone);
    p.restore();
    // The beam lights the phone it falls on.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(Beam.red(), Beam.green(), Beam.blue(), 50));
    p.drawPolygon(beam);
    if (frame >= 7) {
        const qreal y = centre.y() - 66 + (frame - 7) * 56;
        p.setPen(pen(Beam, 3));
        p.drawLine(QPointF(centre.x() - 46, y), QPointF(centre.x() + 46, y));
    }
    p.end();
    fadeOut(image);
    return image;
}

} // namespace art
