#include "results/RowMenu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include "results/DesktopShell.h"
#include "results/ListControlMem.h"
#include "results/ResultsView.h"

namespace {

constexpr std::pair<CRowMenu::Command, const char*> kItems[] = {
    {CRowMenu::kOpen, "&Open"},          {CRowMenu::kOpenFolder, "Open Containing &Folder"},
    {CRowMenu::kCopyPath, "&Copy Path"}, {CRowMenu::kMark, "&Mark"},
    {CRowMenu::kUnmark, "&Unmark"},
};

}  // namespace

std::vector<std::pair<int, int>> CRowMenu::TargetCells(int row, int column) const
{
    std::vector<std::pair<int, int>> cells;
    if (row < 0 || row >= m_view.RowCount() || column < 0)
        return cells;
    if (column != CResultsView::kOriginalColumn)
        column = CResultsView::kDuplicateColumn;
    if (m_list.GetNextItem(row - 1, LVNI_SELECTED) != row) {
        cells.emplace_back(row, column);
        return cells;
    }
    for (int selected = m_list.GetNextItem(-1, LVNI_SELECTED); selected != -1;
         selected = m_list.GetNextItem(selected, LVNI_SELECTED))
        cells.emplace_back(selected, column);
    return cells;
}

std::u16string_view CRowMenu::PathOf(int row, int column) const
{
    const CDuplicatePair& pair = m_view.Row(row);
    return column == CResultsView::kOriginalColumn ? pair.originalPath.view() : pair.duplicatePath.view();
}

std::unique_ptr<QMenu> CRowMenu::Build(int row, int column) const
{
    const auto cells = TargetCells(row, column);
    if (cells.empty())
        return nullptr;
    bool anyMarked = false;
    bool anyUnmarked = false;
    for (const auto& [r, c] : cells)
        (m_view.IsMarked(r, c) ? anyMarked : anyUnmarked) = true;
    auto menu = std::make_unique<QMenu>();
    for (const auto& [command, text] : kItems) {
        if (command == kCopyPath || command == kMark)
            menu->addSeparator();
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setData(static_cast<int>(command));
        action->setEnabled(command == kMark ? anyUnmarked : command == kUnmark ? anyMarked : true);
    }
    menu->setDefaultAction(menu->actions().constFirst());
    return menu;
}

bool CRowMenu::Run(int command, int row, int column)
{
    const auto cells = TargetCells(row, column);
    if (cells.empty())
        return false;
    std::vector<std::u16string_view> paths;
    for (const auto& [r, c] : cells)
        paths.push_back(PathOf(r, c));
    switch (command) {
    case kOpen:
        return OpenCell(row, cells.front().second);
    case kOpenFolder:
        return CDesktopShell::ShowInFolder(paths);
    case kCopyPath:
        QGuiApplication::clipboard()->setMimeData(CDesktopShell::PathsMimeData(paths));
        return true;
    case kMark:
    case kUnmark:
        for (const auto& [r, c] : cells)
            m_view.SetMark(r, c, command == kMark ? CResultsView::kMarked : CResultsView::kUnmarked);
        return true;
    default:
        return false;
    }
}

void CRowMenu::Popup(const QPoint& global, int row, int column)
{
    std::unique_ptr<QMenu> menu = Build(row, column);
    if (!menu)
        return;
    if (QAction* picked = menu->exec(global))
        Run(picked->data().toInt(), row, column);
}

bool CRowMenu::OpenCell(int row, int column)
{
    if (row < 0 || row >= m_view.RowCount() ||
        (column != CResultsView::kOriginalColumn && column != CResultsView::kDuplicateColumn))
        return false;
    return CDesktopShell::Open(PathOf(row, column));
}
