#include "app/ACListWnd.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

#include "app/ACEdit.h"
#include "widgets/MemDC_Exp.h"

namespace {

constexpr int kBorder = 1;         // the frame drawn round the list
constexpr int kMoveCheckMs = 200;  // how often the dialog's rectangle is compared
constexpr int kPickHideMs = 500;   // how long a row picked with the mouse stays shown

// Letters a-z become A-Z; everything else stays.
QString FoldAZ(const QString& text)
{
    QString folded = text;
    for (QChar& c : folded) {
        const char16_t unit = c.unicode();
        if (unit >= u'a' && unit <= u'z')
            c = QChar(static_cast<char16_t>(unit - u'a' + u'A'));
    }
    return folded;
}

}  // namespace

CACListWnd::CACListWnd(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus), m_scrollBar(Qt::Vertical, this)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    m_scrollBar.setFocusPolicy(Qt::NoFocus);
    m_scrollBar.hide();
    connect(&m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) { SetFirstVisible(value); });
    m_pickTimer.setSingleShot(true);
    m_pickTimer.setInterval(kPickHideMs);
    connect(&m_pickTimer, &QTimer::timeout, this, &QWidget::hide);
    resize(200, 180);
    const int extent = ScrollExtent();
    setMinimumSize(4 * extent, 2 * kBorder + extent);
}

void CACListWnd::Initialise(CACEdit* edit)
{
    m_pEdit = edit;
    m_nDisplayCount = 0;
    m_nFirstVisible = 0;
    m_nSelected = -1;
    m_nItemHeight = std::max(1, QFontMetrics(font()).height());
    PlaceScrollBar();
}

void CACListWnd::AddCandidate(const QString& text)
{
    m_candidates.push_back(text);
    m_candidateKeys.push_back(FoldAZ(text));
    m_bOrderStale = true;
}

bool CACListWnd::HasCandidate(const QString& text) const
{
    return std::find(m_candidates.begin(), m_candidates.end(), text) != m_candidates.end();
}

void CACListWnd::ClearCandidates()
{
    m_candidates.clear();
    m_candidateKeys.clear();
    m_sortedOrder.clear();
    m_bOrderStale = false;
    m_display.clear();
}

void CACListWnd::FilterAndShow(const QString& text)
{
    m_pickTimer.stop();
    if (!m_pEdit || text.isEmpty()) {
        hide();
        return;
    }
    // The candidates are sorted once after they change, so every keystroke's matches come out
    // in display order without sorting them again.
    if (m_bOrderStale) {
        m_sortedOrder.resize(m_candidates.size());
        for (size_t i = 0; i < m_sortedOrder.size(); ++i)
            m_sortedOrder[i] = i;
        std::stable_sort(m_sortedOrder.begin(), m_sortedOrder.end(),
                         [this](size_t a, size_t b) { return m_candidates[a] < m_candidates[b]; });
        m_bOrderStale = false;
    }
    const QString key = FoldAZ(text);
    m_display.clear();
    for (size_t i : m_sortedOrder) {
        if (m_candidateKeys[i].startsWith(key))
            m_display.push_back(m_candidates[i]);
    }
    const int count = static_cast<int>(m_display.size());
    if (count == 0) {
        hide();
        return;
    }
    if (count != m_nDisplayCount)
        m_nSelected = -1;
    m_nDisplayCount = count;

    const QSize size = m_rememberedSize.isEmpty()
        ? QSize(m_pEdit->width(), 2 * kBorder + std::min(count, kMaxRows) * m_nItemHeight)
        : m_rememberedSize;
    setGeometry(QRect(m_pEdit->mapToGlobal(QPoint(0, m_pEdit->height())), size));
    PlaceScrollBar();
    UpdateScrollRange();
    show();
    update();
}

QString CACListWnd::SelectedText() const
{
    if (m_display.empty())
        return QString();
    const bool valid = m_nSelected >= 0 && m_nSelected < static_cast<int>(m_display.size());
    return m_display[valid ? static_cast<size_t>(m_nSelected) : 0];
}

QString CACListWnd::MoveSelection(int key)
{
    const int count = static_cast<int>(m_display.size());
    const int page = m_nVisibleRows;
    int selected = m_nSelected;
    switch (key) {
    case Qt::Key_Down:
        ++selected;
        break;
    case Qt::Key_Up:
        --selected;
        break;
    case Qt::Key_PageDown:
        selected = std::min(selected + page, count - 1);
        break;
    case Qt::Key_PageUp:
        selected = std::max(selected - page, 0);
        break;
    case Qt::Key_Home:
        selected = 0;
        break;
    case Qt::Key_End:
        selected = count - 1;
        break;
    default:
        break;
    }
    if (selected < 0)
        selected = count - 1;
    if (selected >= count)
        selected = 0;
    m_nSelected = selected;
    ScrollToItem(selected, count <= 50);
    update();
    return SelectedText();
}

bool CACListWnd::ScrollToItem(int index, bool /*animate*/)
{
    const int visible = std::max(1, m_nVisibleRows);
    if (index >= m_nFirstVisible && index < m_nFirstVisible + visible)
        return false;
    const int lastFirst = std::max(0, static_cast<int>(m_display.size()) - visible);
    SetFirstVisible(index < m_nFirstVisible ? index : std::min(index - visible + 1, lastFirst));
    return true;
}

int CACListWnd::ItemAtPoint(const QPoint& point)
{
    const QRect client = ClientRect();
    const int x = point.x() - client.x();
    const int y = point.y() - client.y();
    const int right = client.width() - (m_scrollBar.isVisible() ? m_scrollBar.width() : 0);
    if (x < 2 || x >= right || y < 0)
        return -1;
    const int row = m_nFirstVisible + y / m_nItemHeight;
    if (row >= static_cast<int>(m_display.size()))
        return -1;
    m_nSelected = row;
    return row;
}

QRect CACListWnd::ClientRect() const
{
    return rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
}

int CACListWnd::ScrollExtent() const
{
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &m_scrollBar);
}

QRect CACListWnd::GripRect() const
{
    const QRect client = ClientRect();
    const int extent = ScrollExtent();
    return QRect(client.right() + 1 - extent, client.bottom() + 1 - extent, extent, extent);
}

void CACListWnd::PlaceScrollBar()
{
    const QRect client = ClientRect();
    const int extent = ScrollExtent();
    m_scrollBar.setGeometry(client.x() + client.width() - extent, client.y() - 1, extent,
                            std::max(0, client.height() - extent + 1));
}

void CACListWnd::UpdateScrollRange()
{
    const int count = static_cast<int>(m_display.size());
    m_nVisibleRows = ClientRect().height() / m_nItemHeight;
    const int lastFirst = std::max(0, count - m_nVisibleRows);
    if (m_nFirstVisible > lastFirst)
        m_nFirstVisible = lastFirst;
    {
        const QSignalBlocker blocker(m_scrollBar);
        m_scrollBar.setRange(0, lastFirst);
        m_scrollBar.setPageStep(std::max(1, m_nVisibleRows));
        m_scrollBar.setSingleStep(1);
        m_scrollBar.setValue(m_nFirstVisible);
    }
    m_scrollBar.setVisible(count - 1 >= m_nVisibleRows);
}

void CACListWnd::SetFirstVisible(int first)
{
    const int lastFirst = std::max(0, static_cast<int>(m_display.size()) - m_nVisibleRows);
    first = std::clamp(first, 0, lastFirst);
    if (first == m_nFirstVisible)
        return;
    m_nFirstVisible = first;
    const QSignalBlocker blocker(m_scrollBar);
    m_scrollBar.setValue(first);
    update();
}

QRect CACListWnd::DialogRect() const
{
    return m_pEdit ? m_pEdit->window()->frameGeometry() : QRect();
}

void CACListWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.setPen(colours.color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const QRect client = ClientRect();
    const bool barShown = m_scrollBar.isVisible();
    const int rowsWidth = client.width() - (barShown ? m_scrollBar.width() : 0);
    {
        CMemDC_Exp surface(&painter, QRect(client.topLeft(), QSize(rowsWidth, client.height())));
        QPainter& dc = surface.Painter();
        dc.fillRect(surface.Area(), colours.color(QPalette::Base));
        dc.setFont(font());
        const QFontMetrics metrics(font());
        const int count = static_cast<int>(m_display.size());
        for (int row = m_nFirstVisible; row < count; ++row) {
            const int top = client.y() + (row - m_nFirstVisible) * m_nItemHeight;
            if (top > client.bottom())
                break;
            const QRect band(client.x(), top, rowsWidth, m_nItemHeight);
            if (row == m_nSelected) {
                dc.fillRect(band, colours.color(QPalette::Highlight));
                dc.setPen(colours.color(QPalette::HighlightedText));
            } else {
                dc.setPen(colours.color(QPalette::Text));
            }
            const QRect textRect = band.adjusted(2, 0, -2, 0);
            dc.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        metrics.elidedText(m_display[static_cast<size_t>(row)], Qt::ElideRight, textRect.width()));
        }
        if (!barShown)
            DrawGrip(dc, client);
    }
    if (barShown) {
        painter.fillRect(GripRect(), colours.color(QPalette::Button));
        DrawGrip(painter, client);
    }
}

void CACListWnd::DrawGrip(QPainter& painter, const QRect& client) const
{
    const QRect grip = GripRect();
    const int width = grip.width();
    const int left = grip.x();
    const int bottom = client.bottom() + 1;
    const QPalette& colours = palette();
    const QColor pens[] = {colours.color(QPalette::Base), colours.color(QPalette::Button), colours.color(QPalette::Dark),
                           colours.color(QPalette::Dark)};
    painter.save();
    painter.setClipRect(grip);
    for (int i = 0; i < 20; ++i) {
        painter.setPen(pens[i % 4]);
        painter.drawLine(left + i - 1, bottom, left + i + width, bottom - width - 1);
    }
    painter.restore();
}

void CACListWnd::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        hide();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (GripRect().contains(point)) {
        m_bSizing = true;
        m_sizingOrigin = event->globalPosition().toPoint();
        m_sizingStart = size();
        m_rememberedSize = size();
        return;
    }
    const int row = ItemAtPoint(point);
    if (row >= 0) {
        ScrollToItem(row, true);
        m_nSelected = row;
        update();
        if (m_pEdit)
            m_pEdit->OnCompletionChosen();
        m_pickTimer.start();
        return;
    }
    if (!ClientRect().contains(point))
        hide();
}

void CACListWnd::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (m_bSizing) {
        const QPoint delta = event->globalPosition().toPoint() - m_sizingOrigin;
        resize((m_sizingStart + QSize(delta.x(), delta.y())).expandedTo(minimumSize()));
        return;
    }
    setCursor(GripRect().contains(point) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    if (ItemAtPoint(point) >= 0)
        update();
}

void CACListWnd::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_bSizing = false;
}

void CACListWnd::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        SetFirstVisible(m_nFirstVisible - 3 * steps);
    event->accept();
}

void CACListWnd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_pEdit)
            m_pEdit->OnCompletionChosen();
        hide();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void CACListWnd::resizeEvent(QResizeEvent*)
{
    if (!m_rememberedSize.isEmpty())
        m_rememberedSize = size();
    PlaceScrollBar();
    UpdateScrollRange();
}

void CACListWnd::showEvent(QShowEvent*)
{
    m_moveTimer.start(kMoveCheckMs, this);
    m_rcDialog = DialogRect();
    setCursor(Qt::ArrowCursor);
}

void CACListWnd::hideEvent(QHideEvent*)
{
    m_moveTimer.stop();
    m_pickTimer.stop();
    m_bSizing = false;
    m_nSelected = -1;
    m_nFirstVisible = 0;
    setCursor(Qt::ArrowCursor);
}

void CACListWnd::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_moveTimer.timerId())
        return QWidget::timerEvent(event);
    if (DialogRect() != m_rcDialog || !m_pEdit || !m_pEdit->isVisible())
        hide();
}
