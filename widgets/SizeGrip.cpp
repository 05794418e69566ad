#include "widgets/SizeGrip.h"

#include <QEvent>
#include <QPolygon>
#include <QRegion>
#include <QStyle>

CSizeGrip::CSizeGrip(QWidget* parent)
    : QSizeGrip(parent)
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
    // New metrics: same bottom-right corner, new size.
    int extent = GripExtent(this);
    QRect area = geometry();
    setGeometry(area.right() + 1 - extent, area.bottom() + 1 - extent, extent, extent);
}

void CSizeGrip::UpdateRegion()
{
    // Only the lower-right triangle belongs to the grip; clicks above the diagonal reach what
    // lies beneath.
    QPolygon triangle;
    triangle << QPoint(0, height()) << QPoint(width(), height()) << QPoint(width(), 0);
    setMask(QRegion(triangle));
}
