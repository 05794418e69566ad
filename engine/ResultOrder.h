#pragma once
// Orderings of the result rows in g_duplicates. Called on the thread that owns the results
// (never while a search runs).

// The default order after every run: size ascending. Not stable: rows of equal size come in no
// particular order.
void SortDuplicatesBySize();

// The order of a header click: column 0 by original path then duplicate path (the second key in
// the opposite direction), column 1 by duplicate path then original path (likewise), column 2 by
// size; paths compare with A–Z folded and the separator weighing as a backslash. Any other column
// changes nothing. Not stable.
void SortDuplicates(int column, bool ascending);
