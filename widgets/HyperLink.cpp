#include "widgets/HyperLink.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QUrl>

#include "widgets/Contrast.h"

namespace {

bool OpenWithDesktop(const QString& target)
{
    const QUrl url = QUrl::fromUserInput(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}

CHyperLink::OpenFunction& OpenHook()
{
    static CHyperLink::OpenFunction open;
    return open;
}

CHyperLink::BeepFunction& BeepHook()
{
    static CHyperLink::BeepFunction beep;
    return beep;
}

// Screen readers see the control as a link named by its text, with "press" opening it.
class CAccessibleHyperLink : public QAccessibleWidget {
public:
    explicit CAccessibleHyperLink(CHyperLink* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* link = static_cast<const CHyperLink*>(widget());
        if (t == QAccessible::Name && link->accessibleName().isEmpty())
            return link->text();
        if (t == QAccessible::Description && link->accessibleDescription().isEmpty())
            return link->m_strTarget;
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action == pressAction())
            static_cast<CHyperLink*>(widget())->OnClicked();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* HyperLinkAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CHyperLink") && object && object->isWidgetType())
        return new CAccessibleHyperLink(static_cast<CHyperLink*>(object));
    return nullptr;
}

}  // namespace

void CHyperLink::SetOpenFunction(OpenFunction open)
{
    OpenHook() = std::move(open);
}

void CHyperLink::SetBeepFunction(BeepFunction beep)
{
    BeepHook() = std::move(beep);
}

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(HyperLinkAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setMouseTracking(true);
    setTextFormat(Qt::PlainText);
}

CHyperLink::~CHyperLink() = default;

void CHyperLink::PreSubclassWindow()
{
    if (m_strTarget.isEmpty())
        m_strTarget = text();
    if (text().isEmpty())
        setText(m_strTarget);
    m_fontNormal = font();
    m_fontUnderline = font();
    m_fontUnderline.setUnderline(true);
    if (m_nUnderlineMode == 1)
        setFont(m_fontUnderline);
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_strTarget);
    // A link a keyboard user cannot reach is no link for them: Tab reaches it, Space or Enter opens it.
    setFocusPolicy(Qt::StrongFocus);
}

void CHyperLink::FitToText()
{
    if (!m_bFitToText)
        return;
    QRect window = geometry();
    const QRect client = contentsRect();
    const QFontMetrics metrics(m_fontUnderline);
    const int width = metrics.horizontalAdvance(text()) + (window.width() - client.width());
    const int height = metrics.height() + (window.height() - client.height());

    // Integer halves truncate toward zero; a negative amount grows the rectangle.
    if (alignment() & Qt::AlignVCenter) {
        const int inset = (window.height() - height) / 2;
        window.setTop(window.top() + inset);
        window.setBottom(window.bottom() - inset);
    } else {
        window.setHeight(height);
    }
    if (alignment() & Qt::AlignHCenter) {
        const int inset = (window.width() - width) / 2;
        window.setLeft(window.left() + inset);
        window.setRight(window.right() - inset);
    } else if (alignment() & Qt::AlignRight) {
        window.setLeft(window.right() + 1 - width);
    } else {
        window.setWidth(width);
    }
    setGeometry(window);
}

QColor CHyperLink::CurrentColour() const
{
    if (m_bOver)
        return m_crHover;
    return m_bOpened ? m_crVisited : m_crLink;
}

bool CHyperLink::OpenTarget(const QString& target)
{
    return OpenHook() ? OpenHook()(target) : OpenWithDesktop(target);
}

void CHyperLink::OnClicked()
{
    m_bOver = false;
    if (OpenTarget(m_strTarget)) {
        m_bOpened = true;
        update();
    } else {
        // The colour follows at the next repaint.
        m_bOpened = false;
        if (BeepHook())
            BeepHook()();
        else
            QApplication::beep();
    }
}

QColor CHyperLink::PaintedColour() const
{
    return ReadableOn(CurrentColour(), palette().color(QPalette::Window));
}

void CHyperLink::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setFont(font());
    painter.setPen(PaintedColour());
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bOver) {
        m_bOver = true;
        if (m_nUnderlineMode == -1)
            setFont(m_fontUnderline);
        update();
        m_hoverTimer.start(kHoverPeriodMs, this);
    }
    QLabel::mouseMoveEvent(event);
}

void CHyperLink::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_hoverTimer.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
        m_bOver = false;
        m_hoverTimer.stop();
        if (m_nUnderlineMode != 1 && m_fontNormal)
            setFont(*m_fontNormal);
        update();
    }
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OnClicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::keyPressEvent(QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        OnClicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperLink::hideEvent(QHideEvent* event)
{
    m_hoverTimer.stop();
    QLabel::hideEvent(event);
}
