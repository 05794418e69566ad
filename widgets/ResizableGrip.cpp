#include "widgets/ResizableGrip.h"

#include <QWidget>

#include "widgets/SizeGrip.h"

CResizableGrip::~CResizableGrip() = default;

void CResizableGrip::CreateSizeGrip()
{
    QWidget* window = GetResizableWnd();
    m_pSizeGrip = new CSizeGrip(window);
    const bool topLevel = window->isWindow();
    m_nShowCount = topLevel ? 1 : 0;
    m_bOwnContribution = topLevel;
    UpdateSizeGrip();
}

void CResizableGrip::ShowSizeGrip()
{
    if (m_bOwnContribution)
        return;
    m_bOwnContribution = true;
    ++m_nShowCount;
}

void CResizableGrip::HideSizeGrip()
{
    if (!m_bOwnContribution)
        return;
    m_bOwnContribution = false;
    --m_nShowCount;
}

void CResizableGrip::UpdateSizeGrip()
{
    if (!m_pSizeGrip)
        return;
    QWidget* window = GetResizableWnd();
    QSize grip = m_pSizeGrip->size();
    m_pSizeGrip->move(window->width() - grip.width(), window->height() - grip.height());
    m_pSizeGrip->raise();
    m_pSizeGrip->setVisible(m_nShowCount > 0);
}
