#include "engine/ResultOrder.h"

#include <algorithm>

#include "engine/Catalogue.h"
#include "platform/Utf16Text.h"

namespace {

// The display order of paths: A–Z folded, then code unit by code unit, except that the separator
// weighs as much as a backslash (between the capitals and the underscore). So a folder's own
// paths follow a sibling whose name goes on with a digit or a sign below it ("/Dir2/a" before
// "/Dir/a"), and precede a sibling that goes on with a letter ("/Dir/a" before "/Dira/a").
char16_t DisplayWeight(char16_t unit)
{
    return unit == u'/' ? u'\\' : LowerAZ(unit);
}

int ComparePathsForDisplay(std::u16string_view a, std::u16string_view b)
{
    // Rows share long folder prefixes: equal code units weigh the same, so the weights are looked
    // at only where the units differ.
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0;; ++i) {
        i = static_cast<size_t>(std::mismatch(a.begin() + i, a.begin() + common, b.begin() + i).first - a.begin());
        if (i == common)
            break;
        const char16_t x = DisplayWeight(a[i]);
        const char16_t y = DisplayWeight(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Orders by a first path key in the given direction, then by a second path key in the opposite one.
bool PathsBefore(std::u16string_view first1, std::u16string_view second1, std::u16string_view first2, std::u16string_view second2,
                 bool ascending)
{
    const int byFirst = ComparePathsForDisplay(first1, first2);
    if (byFirst != 0)
        return ascending ? byFirst < 0 : byFirst > 0;
    const int bySecond = ComparePathsForDisplay(second1, second2);
    return ascending ? bySecond > 0 : bySecond < 0;
}

}  // namespace

void SortDuplicatesBySize()
{
    std::sort(g_duplicates.begin(), g_duplicates.end(),
              [](const CDuplicatePair& a, const CDuplicatePair& b) { return a.size < b.size; });
}

void SortDuplicates(int column, bool ascending)
{
    switch (column) {
    case 0:
        std::sort(g_duplicates.begin(), g_duplicates.end(), [ascending](const CDuplicatePair& a, const CDuplicatePair& b) {
            return PathsBefore(a.originalPath, a.duplicatePath, b.originalPath, b.duplicatePath, ascending);
        });
        break;
    case 1:
        std::sort(g_duplicates.begin(), g_duplicates.end(), [ascending](const CDuplicatePair& a, const CDuplicatePair& b) {
            return PathsBefore(a.duplicatePath, a.originalPath, b.duplicatePath, b.originalPath, ascending);
        });
        break;
    case 2:
        std::sort(g_duplicates.begin(), g_duplicates.end(), [ascending](const CDuplicatePair& a, const CDuplicatePair& b) {
            return ascending ? a.size < b.size : a.size > b.size;
        });
        break;
    default:
        break;
    }
}
