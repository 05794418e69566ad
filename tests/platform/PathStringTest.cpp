#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/PathString.h"

TEST(PathString, CopiesShareTheTextAndOutliveTheOriginal)
{
    CPathString copy;
    {
        CPathString original = CPathString::Concat(u"/home/user/", u"f\xDCFF.txt");
        copy = original;
        EXPECT_EQ(copy.view().data(), original.view().data()) << "one buffer for both";
        CPathString moved = std::move(original);
        EXPECT_EQ(moved, copy);
        EXPECT_TRUE(original.empty());  // NOLINT: a moved-from path is empty
    }
    EXPECT_EQ(copy, u"/home/user/f\xDCFF.txt");
    EXPECT_EQ(copy.str(), std::u16string(u"/home/user/f\xDCFF.txt"));
    copy = copy;  // NOLINT: self-assignment keeps the text
    EXPECT_EQ(copy.size(), 17u);
    EXPECT_TRUE(CPathString().empty());
    EXPECT_TRUE(CPathString::Concat(u"", u"").empty());
}

TEST(PathString, OrdersAndComparesByCodeUnits)
{
    EXPECT_LT(CPathString(u"/a/b"), CPathString(u"/a/c"));
    EXPECT_LT(CPathString(u"/a"), CPathString(u"/a/"));
    EXPECT_LT(CPathString(u"/Z"), CPathString(u"/a")) << "no case folding";
    EXPECT_EQ(CPathString(u"/x"), CPathString(u"/x"));
    EXPECT_FALSE(CPathString(u"/x") == CPathString(u"/X"));
}

TEST(PathString, CopiesOnManyThreadsKeepTheCountRight)
{
    const CPathString shared(u"/shared/path");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100000; ++i) {
                CPathString copy = shared;
                CPathString another(copy);
                (void)another;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(shared, u"/shared/path");
}
