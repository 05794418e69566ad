#pragma once
// What a person does with the files of the results list beside marking them by the selection
// commands: open a file (a double click or Enter on a path cell), and the row menu (a right click,
// the Menu key or Shift+F10 on the list) with Open, Open Containing Folder, Copy Path, Mark and
// Unmark. The menu acts on the cell it was asked for: on its path in every selected row when its
// row is selected (several rows at once), else on that cell alone; the size column stands for the
// duplicate's. Files leave through CDesktopShell. Window thread only; the rows must not change
// while a command runs.
#include <QPoint>

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class CListControlMem;
class CResultsView;
class QMenu;

class CRowMenu {
public:
    // The commands of the menu, carried by its actions.
    enum Command { kOpen = 1, kOpenFolder, kCopyPath, kMark, kUnmark };

    CRowMenu(CResultsView& view, CListControlMem& list) : m_view(view), m_list(list) {}

    // The path cells (row, column) a request at (row, column) acts on, in row order; empty
    // outside the rows.
    std::vector<std::pair<int, int>> TargetCells(int row, int column) const;

    // The menu for a request at (row, column); nullptr outside the rows. Open acts on the one
    // file asked for; Mark is enabled while one of the cells is unmarked, Unmark while one is
    // marked.
    std::unique_ptr<QMenu> Build(int row, int column) const;
    // Runs a command of the menu; false for an unknown command or a request outside the rows.
    bool Run(int command, int row, int column);
    // Shows the menu at `global` (screen coordinates) and runs the pick.
    void Popup(const QPoint& global, int row, int column);

    // Opens the file of a path cell with its default application; false for any other cell.
    bool OpenCell(int row, int column);

private:
    std::u16string_view PathOf(int row, int column) const;

    CResultsView& m_view;
    CListControlMem& m_list;
};
