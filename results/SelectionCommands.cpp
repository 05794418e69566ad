#include "results/SelectionCommands.h"

#include <QKeyEvent>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/PathRules.h"
#include "platform/WildcardMatch.h"
#include "res/ResourceIds.h"
#include "results/ListControlMem.h"
#include "results/ResultsView.h"
#include "widgets/Notify.h"

void CSelectionCommands::WatchKeys(CListControlMem& list)
{
    m_pList = &list;
    list.installEventFilter(this);
}

bool CSelectionCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pList && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            const QModelIndex current = m_pList->currentIndex();
            if (current.isValid() &&
                (current.column() == CResultsView::kOriginalColumn || current.column() == CResultsView::kDuplicateColumn))
                ToggleMark(current.row(), current.column());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool CSelectionCommands::ClickMark(int row, int column, uint32_t hitFlags)
{
    if (hitFlags != LVHT_ONITEMICON)
        return false;
    ToggleMark(row, column);
    return true;
}

bool CSelectionCommands::ToggleMark(int row, int column)
{
    if (row < 0 || row >= m_view.RowCount())
        return false;
    int image = m_view.GetMark(row, column);
    if (image == CResultsView::kUnmarked)
        image = CResultsView::kMarked;
    else if (image == CResultsView::kMarked)
        image = CResultsView::kUnmarked;
    m_view.SetMark(row, column, image);
    return true;
}

bool CSelectionCommands::Mark(int row, int column)
{
    if (m_view.IsMarked(row, column))
        return false;
    m_view.SetMark(row, column, CResultsView::kMarked);
    return true;
}

bool CSelectionCommands::SelectByTime(uint32_t command)
{
    if (command != ID_SELECT_NEWER && command != ID_SELECT_OLDER)
        return false;
    const bool newer = command == ID_SELECT_NEWER;
    const int count = m_view.RowCount();
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_view.Row(row);
        const bool originalEarlier = pair.originalTime < pair.duplicateTime;
        // Newer: the duplicate when the original is earlier; older: the original then.
        const bool markDuplicate = (newer == originalEarlier);
        Mark(row, markDuplicate ? CResultsView::kDuplicateColumn : CResultsView::kOriginalColumn);
    }
    return true;
}

int CSelectionCommands::SelectFolder(std::u16string_view folder)
{
    int marked = 0;
    const int count = m_view.RowCount();
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_view.Row(row);
        if (FolderViewOfPath(pair.duplicatePath.view()) == folder)
            marked += Mark(row, CResultsView::kDuplicateColumn);
        else if (FolderViewOfPath(pair.originalPath.view()) == folder)
            marked += Mark(row, CResultsView::kOriginalColumn);
    }
    return marked;
}

int CSelectionCommands::SelectPattern(std::u16string_view pattern)
{
    int marked = 0;
    const int count = m_view.RowCount();
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_view.Row(row);
        if (MatchSpec(pair.duplicatePath.view(), pattern))
            marked += Mark(row, CResultsView::kDuplicateColumn);
        else if (MatchSpec(pair.originalPath.view(), pattern))
            marked += Mark(row, CResultsView::kOriginalColumn);
    }
    return marked;
}

void CSelectionCommands::DeselectAll()
{
    m_view.ClearMarks();
}

FolderTally CSelectionCommands::FilesPerFolder(const std::vector<CDuplicatePair>& rows)
{
    std::unordered_set<const CPathString*, PathPointerHash, PathPointerEqual> seen;
    seen.reserve(2 * rows.size());
    std::unordered_map<std::u16string_view, uint32_t> counts;
    for (const CDuplicatePair& pair : rows) {
        for (const CPathString* path : {&pair.originalPath, &pair.duplicatePath}) {
            if (seen.insert(path).second)
                ++counts[FolderViewOfPath(path->view())];
        }
    }
    FolderTally tally;
    for (const auto& [folder, count] : counts)
        tally.emplace(std::u16string(folder), count);
    return tally;
}

std::vector<CSelectionCommands::FolderEntry> CSelectionCommands::FolderMenuEntries(const FolderTally& tally)
{
    std::vector<FolderEntry> entries;
    entries.reserve(tally.size());
    for (const auto& [folder, count] : tally)
        entries.push_back({folder, count});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const FolderEntry& a, const FolderEntry& b) { return a.count > b.count; });
    return entries;
}

std::u16string CSelectionCommands::FolderMenuText(const FolderEntry& entry)
{
    std::u16string text = entry.folder;
    text += u" [";
    const std::string digits = std::to_string(entry.count);
    text.append(digits.begin(), digits.end());
    text += u']';
    return text;
}

std::u16string_view CSelectionCommands::FolderOfMenuText(std::u16string_view text)
{
    const size_t blank = text.rfind(u' ');
    return blank == std::u16string_view::npos ? text : text.substr(0, blank);
}
