#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QSize>

// Shared strokes and colours of the drawn pictures: light outlines on a dark fill, the accent
// for what the passenger holds, red for the barcode reader's beam.
namespace art {

const QColor Line(0xd8, 0xe6, 0xee);
const QColor Fill(0x14, 0x1e, 0x2a);
const QColor Skin(0x1d, 0x2b, 0x3a);
const QColor Accent(0x00, 0xad, 0xd7);
const QColor Beam(0xe0, 0x20, 0x20);

QImage canvas(const QSize& size);
QPen pen(const QColor& colour, qreal width);
// A stroke from a to b with round ends, as an outline that can be filled and united.
QPainterPath capsule(const QPointF& a, const QPointF& b, qreal width);

} // namespace art
