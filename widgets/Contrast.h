#pragma once
// Colours that stay readable on any palette: the contrast ratio of two colours as the web's
// accessibility guidelines define it (relative luminance, 1:1 to 21:1), and a colour moved
// towards white or black until it reaches a ratio against its background. Any thread.
#include <QColor>

// Text and marks need at least this ratio against their background.
constexpr double kReadableContrast = 4.5;

// The relative luminance of the colour, 0 (black) to 1 (white), from its sRGB channels.
double RelativeLuminance(const QColor& colour);

// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter of the two: 1 for equal colours, 21 for black on
// white.
double ContrastRatio(const QColor& a, const QColor& b);

// `colour` itself when it has at least `ratio` against `background`; otherwise the first colour,
// mixing it in small steps towards white (on a dark background) or black (on a light one), that
// reaches the ratio; white or black when nothing short of them does. The hue is kept as far as
// the ratio allows. Alpha is ignored.
QColor ReadableOn(const QColor& colour, const QColor& background, double ratio = kReadableContrast);
