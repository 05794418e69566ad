#include "widgets/Contrast.h"

#include <cmath>

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor Mix(const QColor& from, const QColor& to, double amount)
{
    auto channel = [amount](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * amount)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

}  // namespace

double RelativeLuminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& colour, const QColor& background, double ratio)
{
    const QColor opaque = colour.toRgb();
    if (ContrastRatio(opaque, background) >= ratio)
        return QColor(opaque.red(), opaque.green(), opaque.blue());
    // Away from the background: towards white on a dark one, towards black on a light one.
    const bool darkBackground = ContrastRatio(background, Qt::white) > ContrastRatio(background, Qt::black);
    const QColor target = darkBackground ? QColor(Qt::white) : QColor(Qt::black);
    constexpr int kSteps = 64;
    for (int step = 1; step <= kSteps; ++step) {
        const QColor mixed = Mix(opaque, target, static_cast<double>(step) / kSteps);
        if (ContrastRatio(mixed, background) >= ratio)
            return mixed;
    }
    return target;
}
