#include "widgets/SizeGrip.h"

#include <QEvent>
#include <QPolygon>
#include <QRegion>
#include <QStyle>

#include <algorithm>
#include <climits>
#include <cstdint>

CSizeGrip::CSizeGrip(QWidget* parent) : QSizeGrip(parent)
{
    setFocusPolicy(Qt::NoFocus);
    int extent = GripExtent(this);
    resize(extent, extent);
    UpdateRegion();
}

int CSizeGrip::GripExtent(const QWidget* widget)
{
    return widget->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, widget);
}

void CSizeGrip::resizeEvent(QResizeEvent* event)
{
    QSizeGrip::resizeEvent(event);
    UpdateRegion();
}

void CSizeGrip::changeEvent(QEvent* event)
{
    QSizeGrip::changeEvent(event);
    if (event->type() != QEvent::StyleChange)
        return;
    // New metrics: same bottom-right corner, new size (in 64 bits: the corner may lie at the
    // very end of the int range).
    const int extent = GripExtent(this);
    const QRect area = geometry();
    auto corner = [extent](int last) {
        return static_cast<int>(std::clamp<int64_t>(int64_t(last) + 1 - extent, INT_MIN, INT_MAX - extent));
    };
    setGeometry(corner(area.right()), corner(area.bottom()), extent, extent);
}

void CSizeGrip::UpdateRegion()
{
    // Only the lower-right triangle belongs to the grip; clicks above the diagonal reach what
    // lies beneath.
    QPolygon triangle;
    triangle << QPoint(0, height()) << QPoint(width(), height()) << QPoint(width(), 0);
    setMask(QRegion(triangle));
}
