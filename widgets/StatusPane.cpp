#include "widgets/StatusPane.h"

#include <QEvent>
#include <QFontMetrics>

#include <algorithm>

CStatusPane::CStatusPane(const QString& templateText, QWidget* parent) : QLabel(parent), m_template(templateText)
{
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Fit();
}

CStatusPane::~CStatusPane() = default;

int CStatusPane::WidthFor(const QString& text) const
{
    const QFontMetrics metrics(font());
    // As the label itself counts its room: beside a frame it keeps the width of an "x" free
    // (half of it before the text), or its indent when one is set.
    const int gap =
        indent() >= 0 ? indent() : (frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) - 2 * margin() : 0);
    // Measured as the label lays its text out (whole pixels, rounded up), and by its advance.
    const QRect laidOut =
        metrics.boundingRect(QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), Qt::AlignLeft | Qt::TextSingleLine, text);
    const int ink = std::max(metrics.horizontalAdvance(text), laidOut.width());
    return ink + std::max(gap, 0) + 2 * (margin() + frameWidth());
}

void CStatusPane::SetText(const QString& text)
{
    if (!m_template.isEmpty() && WidthFor(text) > width()) {
        m_widest = text;
        setFixedWidth(WidthFor(text));
    }
    setText(text);
}

void CStatusPane::Fit()
{
    if (m_template.isEmpty())
        return;
    setFixedWidth(std::max(WidthFor(m_template), m_widest.isEmpty() ? 0 : WidthFor(m_widest)));
}

void CStatusPane::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Fit();
}
