// The order of the result rows: by size after a search, by a path column on a header click.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/ResultOrder.h"

TEST(ResultOrder, DefaultOrderIsSizeAscending)
{
    g_duplicates = {{u"/c", u"/d", 30, 0, 0}, {u"/a", u"/b", 10, 0, 0}, {u"/e", u"/f", 20, 0, 0}};
    SortDuplicatesBySize();
    EXPECT_EQ(g_duplicates[0].size, 10u);
    EXPECT_EQ(g_duplicates[1].size, 20u);
    EXPECT_EQ(g_duplicates[2].size, 30u);
    g_duplicates.clear();
}

TEST(ResultOrder, PathColumnsSortTheSecondKeyAgainstTheFirst)
{
    g_duplicates = {{u"/o.txt", u"/a.txt", 1, 0, 0},
                    {u"/o.txt", u"/b.txt", 1, 0, 0},
                    {u"/Zeta", u"/x", 1, 0, 0},
                    {u"/alpha", u"/x", 1, 0, 0},
                    {u"/_tmp", u"/x", 1, 0, 0}};
    SortDuplicates(0, true);
    std::vector<std::u16string> order;
    for (const CDuplicatePair& row : g_duplicates)
        order.push_back(row.originalPath.str() + u">" + row.duplicatePath.str());
    EXPECT_EQ(order, (std::vector<std::u16string>{u"/_tmp>/x", u"/alpha>/x", u"/o.txt>/b.txt", u"/o.txt>/a.txt", u"/Zeta>/x"}));
    SortDuplicates(1, false);
    EXPECT_EQ(g_duplicates.front().duplicatePath, u"/x");
    EXPECT_EQ(g_duplicates.back().duplicatePath, u"/a.txt");
    SortDuplicates(7, true);  // no such column: nothing changes
    EXPECT_EQ(g_duplicates.back().duplicatePath, u"/a.txt");
    g_duplicates.clear();
}
