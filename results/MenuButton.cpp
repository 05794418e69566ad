#include "results/MenuButton.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "res/MenuTemplate.h"
#include "widgets/Contrast.h"
#include "widgets/Dialog.h"
#include "widgets/QtText.h"
#include "widgets/ThemeAccess.h"

namespace {

// Win32 rectangles end one pixel beyond their last pixel; the arrow and caption rules count so.
int RightEdge(const QRect& rect)
{
    return rect.x() + rect.width();
}

int BottomEdge(const QRect& rect)
{
    return rect.y() + rect.height();
}

void FrameRect(QPainter& painter, const QRect& rect, const QColor& color)
{
    if (rect.isEmpty())
        return;
    painter.fillRect(rect.x(), rect.y(), rect.width(), 1, color);
    painter.fillRect(rect.x(), BottomEdge(rect) - 1, rect.width(), 1, color);
    painter.fillRect(rect.x(), rect.y(), 1, rect.height(), color);
    painter.fillRect(RightEdge(rect) - 1, rect.y(), 1, rect.height(), color);
}

// The classic push-button edge: a soft raised border two pixels deep.
void DrawPushFrame(QPainter& painter, const QRect& rect, const QPalette& palette)
{
    const int l = rect.x();
    const int t = rect.y();
    const int r = RightEdge(rect);
    const int b = BottomEdge(rect);
    if (rect.width() < 4 || rect.height() < 4)
        return;
    // Outer: highlight top-left, dark shadow bottom-right.
    painter.fillRect(l, t, r - l - 1, 1, palette.color(QPalette::Light));
    painter.fillRect(l, t, 1, b - t - 1, palette.color(QPalette::Light));
    painter.fillRect(l, b - 1, r - l, 1, palette.color(QPalette::Shadow));
    painter.fillRect(r - 1, t, 1, b - t, palette.color(QPalette::Shadow));
    // Inner: light top-left, shadow bottom-right.
    painter.fillRect(l + 1, t + 1, r - l - 3, 1, palette.color(QPalette::Midlight));
    painter.fillRect(l + 1, t + 1, 1, b - t - 3, palette.color(QPalette::Midlight));
    painter.fillRect(l + 1, b - 2, r - l - 2, 1, palette.color(QPalette::Dark));
    painter.fillRect(r - 2, t + 1, 1, b - t - 2, palette.color(QPalette::Dark));
}

// A dotted focus rectangle: every other pixel of its outline, starting at the top-left corner.
void DrawFocusRect(QPainter& painter, const QRect& rect, const QColor& color)
{
    if (rect.isEmpty())
        return;
    const int l = rect.x();
    const int t = rect.y();
    const int r = RightEdge(rect) - 1;
    const int b = BottomEdge(rect) - 1;
    auto dot = [&](int x, int y) {
        if (((x - l) + (y - t)) % 2 == 0)
            painter.fillRect(x, y, 1, 1, color);
    };
    for (int x = l; x <= r; ++x) {
        dot(x, t);
        dot(x, b);
    }
    for (int y = t + 1; y < b; ++y) {
        dot(l, y);
        dot(r, y);
    }
}

constexpr int kTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

}  // namespace

CMenuButton::CMenuButton(QWidget* parent) : QPushButton(parent)
{
    setMouseTracking(true);
    connect(this, &QAbstractButton::clicked, this, [this] { OnClicked(); });
}

CMenuButton::~CMenuButton() = default;

bool CMenuButton::SetMenu(std::unique_ptr<QMenu> menu)
{
    m_makeMenu = nullptr;
    m_menu = std::move(menu);
    m_pPopup = nullptr;
    m_nSelectedPos = -1;
    return true;
}

bool CMenuButton::SetMenu(MenuMaker make)
{
    SetMenu(std::unique_ptr<QMenu>());
    m_makeMenu = std::move(make);
    return true;
}

void CMenuButton::MakeMenu() const
{
    if (!m_makeMenu)
        return;
    const MenuMaker make = std::move(m_makeMenu);
    m_makeMenu = nullptr;
    m_menu = make();
}

const QMenu* CMenuButton::GetMenu() const
{
    MakeMenu();
    return m_menu.get();
}

void CMenuButton::LoadMenuResource(int id)
{
    m_nMenuId = id;
    m_makeMenu = nullptr;
    auto bar = std::make_unique<QMenu>();
    if (const MenuTemplate* resource = FindMenuTemplate(id)) {
        QMenu* popup = bar->addMenu(ToQString(resource->popupTitle));
        for (const MenuItemTemplate& item : resource->items) {
            QAction* action = popup->addAction(ToQString(item.text));
            action->setData(static_cast<uint>(item.command));
        }
    }
    m_menu = std::move(bar);
    m_pPopup = nullptr;
    if (m_nSelectedPos != -1)
        ShowSelectionText();
}

QMenu* CMenuButton::GetPopup() const
{
    MakeMenu();
    if (!m_menu || m_menu->actions().isEmpty())
        return nullptr;
    return m_menu->actions().first()->menu();
}

void CMenuButton::ShowSelectionText()
{
    m_pPopup = GetPopup();
    if (!m_pPopup || m_nSelectedPos < 0 || m_nSelectedPos >= m_pPopup->actions().size())
        return;
    setText(m_pPopup->actions().at(m_nSelectedPos)->text().left(40));
}

bool CMenuButton::OnClicked()
{
    m_pPopup = GetPopup();
    if (m_pPopup) {
        // The pick is returned, never sent anywhere as a command.
        QAction* picked = m_pPopup->exec(mapToGlobal(QPoint(width(), 0)));
        m_nPicked = picked ? picked->data().toUInt() : 0;
        if (m_nPicked != 0)
            m_pPopup = GetPopup();
        // The button may have lost the cursor while the menu was open.
        if (m_bHover && !IsCursorInside()) {
            m_bHover = false;
            update();
        }
    }
    CDialog::NotifyParent(this, MBN_PICKED);
    return true;
}

bool CMenuButton::IsCursorInside() const
{
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void CMenuButton::OnMouseMove()
{
    if (!m_bHover && IsCursorInside()) {
        m_bHover = true;
        update();
        if (m_hoverTimer == 0)
            m_hoverTimer = startTimer(HOVER_TIMER_PERIOD_MS, Qt::PreciseTimer);
    }
}

void CMenuButton::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMove();
    QPushButton::mouseMoveEvent(event);
}

void CMenuButton::enterEvent(QEnterEvent* event)
{
    OnMouseMove();
    QPushButton::enterEvent(event);
}

void CMenuButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_hoverTimer && m_hoverTimer != 0) {
        if (m_bHover && !IsCursorInside()) {
            m_bHover = false;
            update();
            killTimer(m_hoverTimer);
            m_hoverTimer = 0;
        }
        return;
    }
    QPushButton::timerEvent(event);
}

void CMenuButton::keyPressEvent(QKeyEvent* event)
{
    // Enter drops the menu as Space does (Space is the button's own click on release).
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void CMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    uint32_t state = 0;
    if (isDown())
        state |= ODS_SELECTED;
    if (!isEnabled())
        state |= ODS_DISABLED;
    if (hasFocus())
        state |= ODS_FOCUS;
    DrawItem(painter, rect(), state);
}

void CMenuButton::DrawThemedPanel(QPainter& painter, const QRect& rect, uint32_t state)
{
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = rect;
    option.text.clear();
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_HasFocus);
    option.state |= QStyle::State_Raised;
    option.features = QStyleOptionButton::None;
    // One state wins, in this order: pressed, disabled, hot, defaulted (focused), normal.
    if (state & ODS_SELECTED) {
        option.state |= QStyle::State_Sunken | QStyle::State_Enabled;
        option.state &= ~QStyle::State_Raised;
    } else if (state & ODS_DISABLED) {
        option.state &= ~QStyle::State_Enabled;
    } else if (m_bHover) {
        option.state |= QStyle::State_MouseOver | QStyle::State_Enabled;
    } else if (state & ODS_FOCUS) {
        option.state |= QStyle::State_Enabled;
        option.features |= QStyleOptionButton::DefaultButton;
    } else {
        option.state |= QStyle::State_Enabled;
    }
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
}

void CMenuButton::DrawClassicFrame(QPainter& painter, const QRect& rect, uint32_t state)
{
    QRect area = rect;
    if (state & ODS_FOCUS) {
        FrameRect(painter, area, FocusColour());
        area.adjust(1, 1, -1, -1);
    }
    painter.fillRect(area, palette().color(QPalette::Button));
    if (state & ODS_SELECTED)
        FrameRect(painter, area, palette().color(QPalette::Dark));
    else
        DrawPushFrame(painter, area, palette());
}

void CMenuButton::DrawCaption(QPainter& painter, const QRect& rect, uint32_t state, bool themed)
{
    const QString caption = text().left(100);
    if (caption.isEmpty())
        return;
    painter.setFont(font());
    QRect area = rect;
    if ((state & ODS_SELECTED) && !themed)
        area.translate(1, 1);
    const QRect measured = painter.boundingRect(QRect(area.topLeft(), QSize(area.width(), 0x7FFF)), kTextFlags, caption);
    QRect textRect(area.topLeft(), measured.size());
    textRect.translate((area.width() - measured.width()) / 2, (area.height() - measured.height()) / 2);
    if (themed) {
        style()->drawItemText(&painter, textRect, Qt::AlignCenter | Qt::TextSingleLine, palette(), !(state & ODS_DISABLED),
                              caption, QPalette::ButtonText);
        return;
    }
    // The measured rectangle is as wide as the text: centre within it to keep the wrap points.
    const QRect drawRect(area.x() + (area.width() - measured.width()) / 2, textRect.y(), measured.width(), measured.height());
    if (state & ODS_DISABLED) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(drawRect.translated(1, 1), kTextFlags, caption);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(drawRect, kTextFlags, caption);
    } else {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(drawRect, kTextFlags, caption);
    }
}

QColor CMenuButton::FocusColour() const
{
    return ReadableOn(palette().color(QPalette::ButtonText), palette().color(QPalette::Button));
}

void CMenuButton::DrawItem(QPainter& painter, const QRect& rect, uint32_t state)
{
    const bool themed = g_themeActive == 1 && IsAppThemed();
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (themed)
        DrawThemedPanel(painter, rect, state);
    else
        DrawClassicFrame(painter, rect, state);
    QRect area = rect;
    if (!themed && (state & ODS_FOCUS))
        area.adjust(1, 1, -1, -1);

    DrawCaption(painter, rect, state, themed);

    // The arrow: five vertical lines of 9, 7, 5, 3 and 1 pixels, a triangle pointing right.
    int x0 = 0;
    int y0 = 0;
    if (!text().isEmpty()) {
        x0 = RightEdge(area) - 11;
        y0 = area.y() + area.height() / 2 - 4;
    } else {
        x0 = area.width() / 2 - 2;
        y0 = area.height() / 2 - 4;
    }
    const QColor arrow =
        (state & ODS_DISABLED) ? palette().color(QPalette::Disabled, QPalette::Text) : palette().color(QPalette::ButtonText);
    for (int k = 0; k < 5; ++k)
        painter.fillRect(x0 + k, y0 + k, 1, 9 - 2 * k, arrow);

    if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT))
        DrawFocusRect(painter, rect.adjusted(3, 3, -3, -3), FocusColour());
    painter.restore();
}
