#pragma once
// The results list seen as the rows of the last search: list row i shows row i of the rows it
// was filled from, with the original's path, the duplicate's path and the size, and a mark on
// each path cell kept as the cell's image (0 unmarked, 1 marked) in the list's own storage.
// A mark belongs to a file, not to a cell: an original that heads several rows (and any path
// shown more than once) is marked or unmarked in every cell that shows it at once, whichever
// cell was clicked or set. The selection commands, the header sort and the removal of marked
// files work through it. Window thread only; the rows must not change while a search runs, and
// every reordering of the rows is followed by Fill.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/DuplicatePair.h"
#include "platform/PathString.h"

class CListControlMem;

// The marked paths, compared exactly (code unit by code unit, letter case counts).
using MarkedPathSet = std::unordered_set<CPathString, PathHash>;

// Paths of the rows by address, hashed and compared by their texts (whose hashes the rows' shared
// texts compute once), for tables over the rows that need not copy a path.
struct PathPointerHash {
    size_t operator()(const CPathString* path) const { return path->Hash(); }
};
struct PathPointerEqual {
    bool operator()(const CPathString* a, const CPathString* b) const { return *a == *b; }
};

class CResultsView {
public:
    // Cell images of a mark.
    static constexpr int kUnmarked = 0;
    static constexpr int kMarked = 1;
    // The columns that carry a mark.
    static constexpr int kOriginalColumn = 0;
    static constexpr int kDuplicateColumn = 1;

    // From now on a mark the list's cells change themselves (Space, a screen reader) goes through
    // SetMark as well, until this view is destroyed.
    CResultsView(CListControlMem& list, const std::vector<CDuplicatePair>& rows);
    ~CResultsView();
    CResultsView(const CResultsView&) = delete;
    CResultsView& operator=(const CResultsView&) = delete;

    // Rebuilds every list row from the rows in one step, with painting suspended. Every cell is
    // unmarked afterwards, the view is at the top and no row is selected.
    void Fill();

    int RowCount() const;
    const CDuplicatePair& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }

    // The image of a path cell: kUnmarked, kMarked, or what else it holds (-1 outside the list).
    int GetMark(int row, int column) const;
    // Gives every path cell that shows the file of (row, column) the image. Nothing happens
    // outside the list or for a column other than the two path columns.
    void SetMark(int row, int column, int image);
    bool IsMarked(int row, int column) const { return GetMark(row, column) == kMarked; }

    // The marked paths in row order, an original before the duplicate of the same row, each path
    // once at its first marked cell; `set` holds the same paths. Both are emptied first.
    void CollectMarkedFiles(std::vector<CPathString>& list, MarkedPathSet& set) const;

    // Marks every path cell whose path is in the set; other cells are left as they are.
    void RestoreMarks(const MarkedPathSet& set);

    // Clears the mark of every path cell.
    void ClearMarks();

    // The marked files (each once) and the bytes they hold, kept up to date by every change of
    // a mark made through this view (the selection commands, Space, a screen reader).
    struct MarkedTotal {
        int files = 0;
        uint64_t bytes = 0;
        bool operator==(const MarkedTotal&) const = default;
    };
    const MarkedTotal& Marked() const { return m_marked; }
    // Called after every change of the marked total.
    void SetMarksChanged(std::function<void()> changed) { m_marksChanged = std::move(changed); }

private:
    void SetMarked(MarkedTotal total);
    // Counts the marked files again from the cells.
    void Recount();
    const CPathString& PathOf(int cell) const;
    // Links the cells that show the same path, once per filling, when a mark first changes.
    void LinkCellsOfEachPath();

    CListControlMem& m_list;
    const std::vector<CDuplicatePair>& m_rows;
    // Path cell c is column c % 2 of row c / 2. m_nextCell[c] is the next cell showing the same
    // path, in a ring back to c; empty until the first mark changes after a filling.
    std::vector<int32_t> m_nextCell;
    MarkedTotal m_marked;
    std::function<void()> m_marksChanged;
};
