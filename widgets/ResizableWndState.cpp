#include "widgets/ResizableWndState.h"

#include <QWidget>

#include <string>

#include "widgets/WindowPlacement.h"

namespace {

std::u16string PlacementEntry(std::u16string_view name)
{
    return std::u16string(name) + u"WindowPlacement";
}

}  // namespace

CResizableWndState::~CResizableWndState() = default;

bool CResizableWndState::StorePlacement(std::u16string_view name, bool rectOnly)
{
    CWindowPlacement placement = CWindowPlacement::Get(*GetResizableWnd());
    if (rectOnly) {
        placement.showCmd = CWindowPlacement::SW_SHOWNORMAL;
        placement.flags = 0;
        placement.minX = 0;
        placement.minY = 0;
    }
    return WriteStateText(PlacementEntry(name), placement.ToText());
}

bool CResizableWndState::RestorePlacement(std::u16string_view name, bool rectOnly)
{
    std::u16string text;
    if (!ReadStateText(PlacementEntry(name), text))
        return false;
    std::optional<CWindowPlacement> stored = CWindowPlacement::FromText(text);
    if (!stored)
        return false;
    CWindowPlacement placement = CWindowPlacement::Get(*GetResizableWnd());
    placement.left = stored->left;
    placement.top = stored->top;
    placement.right = stored->right;
    placement.bottom = stored->bottom;
    if (!rectOnly) {
        placement.showCmd = stored->showCmd;
        placement.flags = stored->flags;
        placement.minX = stored->minX;
        placement.minY = stored->minY;
    }
    placement.Apply(*GetResizableWnd());
    return true;
}
