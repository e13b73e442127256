#pragma once

#include <QQuickImageProvider>

// Draws the display's symbols as silhouettes in a requested colour, for QML as
// "image://symbol/<resource path>?color=rrggbb" (or aarrggbb), for example
// "image://symbol/qml/images/Icons/valid.svg?color=41b987". A name without a folder ("valid",
// "orvo.png") is one of the icons, an SVG unless it says otherwise. Without a colour the picture keeps its own colours.
//
// Tinting here rather than with a colour-overlay effect keeps the symbols visible in the
// software renderer, which silently draws no graphical effects.
class SymbolImageProvider : public QQuickImageProvider
{
public:
    SymbolImageProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};
