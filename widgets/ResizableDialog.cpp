#include "widgets/ResizableDialog.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScreen>

CResizableDialog::CResizableDialog(int templateId, QWidget* parent) : CDialog(templateId, parent)
{
}

CResizableDialog::~CResizableDialog() = default;

void CResizableDialog::EnablePlacementMemory(std::u16string_view section, bool rectOnly)
{
    m_sSection = section;
    m_bRectOnly = rectOnly;
    m_bEnableSaveRestore = true;
    if (!RestorePlacement(m_sSection, m_bRectOnly)) {
        // First start: a window larger than its screen shrinks to it (the layout gives the room
        // to the controls that stretch), so that none of its controls lies off the screen.
        const QSize fitting = size().boundedTo(AvailableScreenSize());
        if (fitting != size())
            resize(fitting);
    }
}

QWidget* CResizableDialog::GetResizableWnd() const
{
    return const_cast<CResizableDialog*>(this);
}

void CResizableDialog::OnCreate()
{
    CDialog::OnCreate();
    CreateSizeGrip();
    if (isWindow()) {
        // A window of fixed size gets a sizing border: the size it has now becomes its minimum,
        // unless its screen is smaller (a large font or a scaled screen): it can always be made
        // to fit the screen.
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        SetMinTrackSize(size().boundedTo(AvailableScreenSize()));
    }
}

QSize CResizableDialog::AvailableScreenSize() const
{
    const QScreen* shownOn = screen();
    return shownOn ? shownOn->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void CResizableDialog::OnDestroy()
{
    if (m_bEnableSaveRestore)
        StorePlacement(m_sSection, m_bRectOnly);
    CDialog::OnDestroy();
}

void CResizableDialog::OnSize(SizeType type, int, int)
{
    if (type == SizeMaximized)
        HideSizeGrip();
    else
        ShowSizeGrip();
    UpdateSizeGrip();
}

void CResizableDialog::resizeEvent(QResizeEvent* event)
{
    CDialog::resizeEvent(event);
    OnSize(CurrentSizeType(), event->size().width(), event->size().height());
}

void CResizableDialog::changeEvent(QEvent* event)
{
    CDialog::changeEvent(event);
    // Maximising may come without a size change (a window already of the screen's size).
    if (event->type() == QEvent::WindowStateChange && IsCreated())
        OnSize(CurrentSizeType(), width(), height());
}

CResizableDialog::SizeType CResizableDialog::CurrentSizeType() const
{
    if (isMinimized())
        return SizeMinimized;
    return isMaximized() ? SizeMaximized : SizeRestored;
}
