#include "engine/ResultOrder.h"

#include <algorithm>

#include "engine/Catalogue.h"
#include "platform/Utf16Text.h"

namespace {

// Orders by a first path key in the given direction, then by a second path key in the opposite one.
bool PathsBefore(std::u16string_view first1, std::u16string_view second1, std::u16string_view first2,
                 std::u16string_view second2, bool ascending)
{
    const int byFirst = CompareFoldAZ(first1, first2);
    if (byFirst != 0)
        return ascending ? byFirst < 0 : byFirst > 0;
    const int bySecond = CompareFoldAZ(second1, second2);
    return ascending ? bySecond > 0 : bySecond < 0;
}

} // namespace

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
