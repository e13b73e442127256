#pragma once

#include <QImage>

namespace art {

// The idle animation frames, 480 x 536, transparent: the validator on its pole with a hand
// bringing a card to the reader (frames 0 to 6), or a phone with a QR code into the barcode
// reader's beam (frames 0 to 8). The window shows them with their lower edge 62 px above the
// bottom of the screen, so everything fades out towards that edge instead of ending in a line.
QImage cardFrame(int frame);
QImage ticketFrame(int frame);

} // namespace art
