#include "widgets/Separator.h"

#include <QPainter>
#include <QPalette>

#include "widgets/ThemeAccess.h"

namespace {

// A line one logical pixel wide from `from` towards `to` (in a row or a column), the end point
// itself excluded, as a pen of the classic look draws it; filled as a rectangle, so that it is as
// wide as the rest of the window on a scaled screen.
void DrawLineToExcluded(QPainter& painter, QPoint from, QPoint to, const QColor& colour)
{
    if (from == to)
        return;
    QPoint last = to;
    if (to.x() != from.x())
        last.rx() += (to.x() > from.x()) ? -1 : 1;
    else
        last.ry() += (to.y() > from.y()) ? -1 : 1;
    painter.fillRect(QRect(from, last).normalized(), colour);
}

}  // namespace

CSeparator::CSeparator(QWidget* parent) : QLabel(parent)
{
    // Clicks reach the caption beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

CSeparator::~CSeparator() = default;

void CSeparator::PreSubclassWindow()
{
    setText(QString());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CSeparator::Draw(QPainter& painter, int)
{
    const QRect area = rect();
    const int w = area.width();
    const int h = area.height();
    painter.fillRect(area, palette().color(QPalette::Button));

    if (IsAppThemed()) {
        HTHEME theme = OpenThemeData(this, u"TOOLBAR");
        DrawThemeBackground(theme, &painter, h > w ? TP_SEPARATOR : TP_SEPARATORVERT, 1, area, nullptr);
        CloseThemeData(theme);
        return;
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    if (h > w) {
        const int x = area.left() + (w - 1) / 2;
        DrawLineToExcluded(painter, QPoint(x, area.top() + 2), QPoint(x, area.top() + 2 + (h - 4)), shadow);
        DrawLineToExcluded(painter, QPoint(x + 1, area.top() + 2), QPoint(x + 1, area.top() + 2 + (h - 4)), highlight);
    } else {
        const int y = area.top() + (h - 1) / 2;
        DrawLineToExcluded(painter, QPoint(area.left() + 2, y), QPoint(area.left() + 2 + (w - 4), y), shadow);
        DrawLineToExcluded(painter, QPoint(area.left() + 2, y + 1), QPoint(area.left() + 2 + (w - 4), y + 1), highlight);
    }
    painter.restore();
}

void CSeparator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Draw(painter, 0);
}
