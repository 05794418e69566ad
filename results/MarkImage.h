#pragma once
// The two images of a mark in the results list, drawn from the palette at the size and place of
// an image of bitmap 129 (17 x 15): an empty 13 x 13 square (image 0) and the same square with a
// tick (image 1). The square is filled with the list's base colour, so it reads the same on a
// selected row; its outline has the text colour and the tick is green, both made readable
// against the base colour (at least 4.5:1), so the marks show on dark palettes too. Drawn in
// logical pixels: on a screen of any scale the square covers the same area as the image.
// Window thread only.
#include <QColor>
#include <QRect>

class QPainter;
class QPalette;

class CMarkImage {
public:
    // The size of one image.
    static constexpr int kWidth = 17;
    static constexpr int kHeight = 15;

    // The square within an image placed at `image` (its top-left corner is the image's).
    static QRect BoxRect(const QRect& image);

    static QColor OutlineColour(const QPalette& palette);
    static QColor TickColour(const QPalette& palette);
    static QColor FillColour(const QPalette& palette);

    // Draws image 0 (`marked` false) or 1 at `image`.
    static void Draw(QPainter& painter, const QRect& image, bool marked, const QPalette& palette);
};
