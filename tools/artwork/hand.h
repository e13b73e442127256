#pragma once

class QPainter;

namespace art {

// A right hand holding what the passenger shows the validator, its forearm in a sleeve running
// out of the picture. Drawn in the held object's own coordinates, in two layers around it:
// palm and fingers behind, the thumb in front.
//   Card:  the card is the rectangle (-65, -41) to (65, 41); the hand pinches its right end,
//          the arm leaves to the lower right.
//   Phone: the phone is the rectangle (-50, -90) to (50, 90), upright; the palm holds it from
//          behind, the fingertips show at its left edge, the thumb lies over its right edge and
//          the arm leaves to the right.
enum class Grip { Card, Phone };

void drawHandBehind(QPainter& p, Grip grip);
void drawHandInFront(QPainter& p, Grip grip);

} // namespace art
