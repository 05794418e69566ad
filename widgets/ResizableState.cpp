#include "widgets/ResizableState.h"

#include "platform/Profile.h"

CResizableState::CResizableState() : m_sStateStore(DefaultStateStore())
{
}

CResizableState::~CResizableState() = default;

std::u16string& CResizableState::DefaultStateStore()
{
    static std::u16string store = u"ResizableState";
    return store;
}

bool CResizableState::ReadStateText(std::u16string_view id, std::u16string& text) const
{
    text = GetProfileString(m_sStateStore, id, u"");
    return !text.empty();
}

bool CResizableState::WriteStateText(std::u16string_view id, std::u16string_view text) const
{
    return WriteProfileString(m_sStateStore, id, text);
}
