#pragma once
// The results list seen as the rows of the last search: list row i shows row i of the rows it
// was filled from, with the original's path, the duplicate's path and the size, and a mark on
// each path cell kept as the cell's image (0 unmarked, 1 marked) in the list's own storage.
// The selection commands, the header sort and the removal of marked files work through it.
// Window thread only; the rows must not change while a search runs, and every reordering of
// the rows is followed by Fill.
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/DuplicatePair.h"
#include "platform/PathString.h"

class CListControlMem;

// The marked paths, compared exactly (code unit by code unit, letter case counts).
using MarkedPathSet = std::unordered_set<CPathString, PathHash>;

class CResultsView {
public:
    // Cell images of a mark.
    static constexpr int kUnmarked = 0;
    static constexpr int kMarked = 1;
    // The columns that carry a mark.
    static constexpr int kOriginalColumn = 0;
    static constexpr int kDuplicateColumn = 1;

    CResultsView(CListControlMem& list, const std::vector<CDuplicatePair>& rows);

    // Rebuilds every list row from the rows, with painting suspended and room reserved first.
    // Every cell is unmarked afterwards, the view is at the top and no row is selected.
    void Fill();

    int RowCount() const;
    const CDuplicatePair& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }

    // The image of a path cell: kUnmarked, kMarked, or what else it holds (-1 outside the list).
    int GetMark(int row, int column) const;
    void SetMark(int row, int column, int image);
    bool IsMarked(int row, int column) const { return GetMark(row, column) == kMarked; }

    // The marked paths in row order, an original before the duplicate of the same row, each path
    // once at its first marked cell; `set` holds the same paths. Both are emptied first.
    void CollectMarkedFiles(std::vector<CPathString>& list, MarkedPathSet& set) const;

    // Marks every path cell whose path is in the set; other cells are left as they are.
    void RestoreMarks(const MarkedPathSet& set);

private:
    CListControlMem& m_list;
    const std::vector<CDuplicatePair>& m_rows;
};
