#include "app/FoldersList.h"

#include <cstdlib>

#include "app/SysImageList.h"
#include "platform/FileAttributes.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "results/ListControlMem.h"

bool CFoldersList::AddFolder(std::u16string path)
{
    AddTrailingBackslash(path);
    if (!IsFolderPath(path))
        return false;
    const QString text = QString::fromStdU16String(path);
    const int row = m_list.InsertItem(m_list.GetItemCount(), text, theSysImageList.GetIconIndex(text));
    if (row < 0)
        return false;
    m_entries.emplace_back(std::move(path));
    return true;
}

std::u16string CFoldersList::NormalisedFolder(std::u16string text)
{
    if (text == u"~" || text.starts_with(u"~/")) {
        const char* home = std::getenv("HOME");
        if (home && *home)
            text.replace(0, 1, DecodeNativeName(home));
    }
    while (text.size() > 1 && text.back() == u'/' && text[text.size() - 2] == u'/')
        text.pop_back();
    AddTrailingBackslash(text);
    return text;
}

CFoldersList::AddResult CFoldersList::AddTyped(const std::u16string& text, std::u16string& folder)
{
    folder = NormalisedFolder(text);
    if (folder.empty())
        return AddResult::Empty;
    if (!IsFolderPath(folder))
        return AddResult::NoSuchFolder;
    if (IsListed(folder))
        return AddResult::AlreadyListed;
    return AddFolder(folder) ? AddResult::Added : AddResult::NoSuchFolder;
}

bool CFoldersList::IsListed(const std::u16string& folder) const
{
    const QString text = QString::fromStdU16String(folder);
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (m_list.GetItemText(row, 0) == text)
            return true;
    }
    return false;
}

void CFoldersList::DeleteSelected()
{
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return;
    m_list.DeleteItem(row);
    if (static_cast<size_t>(row) < m_entries.size())
        m_entries.erase(m_entries.begin() + row);
    if (row < m_list.GetItemCount())
        m_list.SetItemSelected(row, true);
    else if (row > 0)
        m_list.SetItemSelected(row - 1, true);
}

void CFoldersList::DeleteAll()
{
    m_list.DeleteAllItems();
    m_entries.clear();
}

int CFoldersList::AddDropped(const std::vector<std::u16string>& names)
{
    int added = 0;
    for (const std::u16string& name : names) {
        std::u16string folder = NormalisedFolder(name);
        if (!IsListed(folder) && AddFolder(std::move(folder)))
            ++added;
    }
    return added;
}

bool CFoldersList::HasSelection() const
{
    return m_list.GetNextItem(-1, LVNI_SELECTED) != -1;
}
