#include "hand.h"

#include "drawing.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace art {

namespace {

// One part of the hand: filled with the skin tone, outlined; later parts cover earlier ones, so
// where fingers lie on each other only the upper one's outline shows.
void part(QPainter& p, const QPainterPath& path)
{
    p.setPen(pen(Line, 3.5));
    p.setBrush(Skin);
    p.drawPath(path);
}

// The forearm from the wrist along direction, in a sleeve whose cuff starts cuffAt from the
// wrist; long enough to leave any picture.
void forearm(QPainter& p, const QPointF& wrist, const QPointF& direction, qreal width, qreal cuffAt)
{
    const QPointF end = wrist + direction * 900;
    part(p, capsule(wrist, end, width));
    // The sleeve: a band with a straight cuff, a little wider than the arm.
    const QPointF cuff = wrist + direction * cuffAt;
    const QPointF across = QPointF(-direction.y(), direction.x()) * (width / 2 + 6);
    QPolygonF sleeve;
    sleeve << cuff - across << cuff + across << end + across << end - across;
    p.setPen(pen(Line, 3.5));
    p.setBrush(Fill);
    p.drawPolygon(sleeve);
    p.setPen(pen(Line, 2));
    p.drawLine(cuff + direction * 12 - across, cuff + direction * 12 + across);
}

QPainterPath nail(const QPointF& tip, const QPointF& towardsBase, qreal size)
{
    const qreal angle = std::atan2(towardsBase.y(), towardsBase.x()) * 180 / M_PI;
    QPainterPath path;
    path.addRoundedRect(QRectF(-size * 0.15, -size * 0.42, size, size * 0.84), size * 0.4, size * 0.4);
    return QTransform().translate(tip.x(), tip.y()).rotate(angle).map(path);
}

void cardBehind(QPainter& p)
{
    forearm(p, QPointF(112, 96), QPointF(0.82, 0.57), 60, 70);
    // Palm and the back of the hand, from the wrist to the knuckles behind the card's right end.
    QPainterPath palm;
    palm.moveTo(QPointF(48, 8));
    palm.cubicTo(QPointF(70, -14), QPointF(110, -6), QPointF(130, 30));
    palm.cubicTo(QPointF(146, 62), QPointF(140, 100), QPointF(120, 120));
    palm.lineTo(QPointF(84, 116));
    palm.cubicTo(QPointF(62, 96), QPointF(44, 60), QPointF(48, 8));
    part(p, palm);
    // Four fingers curled under the card's lower edge, little finger first.
    part(p, capsule(QPointF(100, 106), QPointF(66, 110), 20));
    part(p, capsule(QPointF(96, 88), QPointF(52, 94), 22));
    part(p, capsule(QPointF(90, 68), QPointF(38, 76), 23));
    part(p, capsule(QPointF(82, 46), QPointF(26, 56), 24));
}

void cardInFront(QPainter& p)
{
    // The thumb lies on the card's face, from its root at the palm's upper edge.
    const QPointF root(104, 14), tip(34, -2);
    QPainterPath thumb = capsule(root, tip, 27);
    thumb = thumb.united(capsule(QPointF(118, 34), root, 34));
    part(p, thumb);
    p.setPen(pen(Line, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(nail(tip + QPointF(2, 0), root - tip, 16));
    p.drawLine(QPointF(72, -6), QPointF(70, 12));   // the thumb's joint
}

void phoneBehind(QPainter& p)
{
    forearm(p, QPointF(92, 62), QPointF(0.93, 0.37), 60, 64);
    QPainterPath palm;
    palm.moveTo(QPointF(-30, 0));
    palm.cubicTo(QPointF(0, -26), QPointF(70, -20), QPointF(96, 30));
    palm.cubicTo(QPointF(108, 60), QPointF(104, 90), QPointF(84, 104));
    palm.cubicTo(QPointF(40, 118), QPointF(-20, 100), QPointF(-30, 70));
    palm.closeSubpath();
    part(p, palm);
    // Fingertips round the phone's left edge, little finger lowest and shortest.
    for (int i = 3; i >= 0; --i) {
        const qreal y = 6 + i * 22;
        part(p, capsule(QPointF(-20, y + 4), QPointF(-62 + i * 3, y), 21 - i));
    }
}

void phoneInFront(QPainter& p)
{
    // The thumb over the right edge, resting on the screen below the code.
    const QPointF root(70, 40), tip(24, 20);
    QPainterPath thumb = capsule(root, tip, 26);
    thumb = thumb.united(capsule(QPointF(92, 62), root, 36));
    part(p, thumb);
    p.setPen(pen(Line, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(nail(tip + QPointF(1, 0), root - tip, 15));
}

} // namespace

void drawHandBehind(QPainter& p, Grip grip)
{
    p.save();
    grip == Grip::Card ? cardBehind(p) : phoneBehind(p);
    p.restore();
}

void drawHandInFront(QPainter& p, Grip grip)
{
    p.save();
    grip == Grip::Card ? cardInFront(p) : phoneInFront(p);
    p.restore();
}

} // namespace art
