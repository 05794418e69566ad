#include "widgets/StaticSeparator.h"

#include <QFontMetrics>
#include <QResizeEvent>

#include "widgets/ControlId.h"
#include "widgets/ThemeAccess.h"

namespace {

constexpr int kLineControlId = 0xFFFF;

}  // namespace

CStaticSeparator::CStaticSeparator(QWidget* parent) : QLabel(parent), m_line(this)
{
    SetDlgCtrlID(&m_line, kLineControlId);
    m_line.hide();
}

CStaticSeparator::~CStaticSeparator() = default;

void CStaticSeparator::PreSubclassWindow()
{
    m_fontBold = font();
    m_fontBold.setWeight(QFont::Bold);
    setFont(m_fontBold);
    m_bBound = true;
    Layout();
}

void CStaticSeparator::Layout()
{
    QRect area = rect();
    m_nWidth = area.width();
    QString caption = text();
    if (!caption.isEmpty())
        caption += QLatin1Char(' ');
    QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(caption);
    const int cy = metrics.height();
    area.setLeft(area.left() + cx);
    if (IsAppThemed())
        area.setTop(area.top() + cy / 3);
    m_line.setGeometry(area);
    m_line.show();
}

void CStaticSeparator::SetWindowText(const QString& text)
{
    setText(text);
    if (m_bBound)
        Layout();
    repaint();
}

void CStaticSeparator::moveEvent(QMoveEvent* event)
{
    QLabel::moveEvent(event);
    if (m_bBound)
        Layout();
}

void CStaticSeparator::resizeEvent(QResizeEvent* event)
{
    if (m_bBound) {
        // The line keeps its distance to the right edge, and its top: it ends at the bottom edge
        // as Layout placed it, whichever of a move or a resize came last.
        const int width = event->size().width();
        m_line.resize(m_line.width() + width - m_nWidth, event->size().height() - m_line.y());
        m_nWidth = width;
    }
    QLabel::resizeEvent(event);
}
