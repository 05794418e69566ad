#include "widgets/ResizableMinMax.h"

#include <QWidget>

CResizableMinMax::~CResizableMinMax() = default;

void CResizableMinMax::SetMinTrackSize(const QSize& size)
{
    m_bUseMinTrack = true;
    m_minTrackSize = size;
    ApplyMinMax();
}

void CResizableMinMax::ApplyMinMax()
{
    QWidget* window = GetResizableWnd();
    if (m_bUseMinTrack)
        window->setMinimumSize(m_minTrackSize);
}
