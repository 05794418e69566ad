#include "app/FoldersList.h"

#include "app/SysImageList.h"
#include "platform/FileAttributes.h"
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
    for (std::u16string name : names) {
        AddTrailingBackslash(name);
        const QString text = QString::fromStdU16String(name);
        bool listed = false;
        for (int row = 0; row < m_list.GetItemCount() && !listed; ++row)
            listed = m_list.GetItemText(row, 0) == text;
        if (!listed && AddFolder(std::move(name)))
            ++added;
    }
    return added;
}

bool CFoldersList::HasSelection() const
{
    return m_list.GetNextItem(-1, LVNI_SELECTED) != -1;
}
