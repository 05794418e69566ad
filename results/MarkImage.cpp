#include "results/MarkImage.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPalette>

#include <cmath>

#include "widgets/Contrast.h"

namespace {

// The square of bitmap 129: its outline from (2, 1) to (14, 13).
constexpr QRect kBox(2, 1, 13, 13);

// The tick of bitmap 129, pixel by pixel: two strokes three pixels tall, one down to (7, 10) and
// one up from there to (12, 5).
constexpr QPoint kTick[] = {{5, 6},  {5, 7},  {5, 8},  {6, 7},  {6, 8},  {6, 9},  {7, 8},  {7, 9},
                            {7, 10}, {8, 7},  {8, 8},  {8, 9},  {9, 6},  {9, 7},  {9, 8},  {10, 5},
                            {10, 6}, {10, 7}, {11, 4}, {11, 5}, {11, 6}, {12, 3}, {12, 4}, {12, 5}};

const QColor kTickGreen(0, 128, 0);

}  // namespace

QRect CMarkImage::BoxRect(const QRect& image)
{
    return kBox.translated(image.topLeft());
}

QColor CMarkImage::FillColour(const QPalette& palette)
{
    return palette.color(QPalette::Base);
}

QColor CMarkImage::OutlineColour(const QPalette& palette)
{
    return ReadableOn(palette.color(QPalette::Text), FillColour(palette));
}

QColor CMarkImage::TickColour(const QPalette& palette)
{
    return ReadableOn(kTickGreen, FillColour(palette));
}

void CMarkImage::Draw(QPainter& painter, const QRect& image, bool marked, const QPalette& palette)
{
    // Whole logical pixels, filled without smoothing: crisp at every scale, and at scale 1 the
    // pixels of the bitmap.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    const QRect box = BoxRect(image);
    const QColor outline = OutlineColour(palette);
    painter.fillRect(box, outline);
    painter.fillRect(box.adjusted(1, 1, -1, -1), FillColour(palette));
    if (marked) {
        const QColor tick = TickColour(palette);
        const QPaintDevice* device = painter.device();
        if (!device || device->devicePixelRatioF() <= 1) {
            for (const QPoint& pixel : kTick)
                painter.fillRect(QRect(image.topLeft() + pixel, QSize(1, 1)), tick);
        } else {
            // On a scaled screen the same strokes, smooth: through the centres of their pixels,
            // three pixels tall.
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(tick, 3 / std::sqrt(2.0), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            const QPointF origin = image.topLeft();
            const QPointF stroke[] = {origin + QPointF(5.5, 7.5), origin + QPointF(7.5, 9.5), origin + QPointF(12.5, 4.5)};
            painter.drawPolyline(stroke, 3);
        }
    }
    painter.restore();
}
