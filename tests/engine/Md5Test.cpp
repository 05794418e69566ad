#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/Md5.h"
#include "tests/support/Md5Reference.h"
#include "tests/support/TempDir.h"

using quillon::test::Hex;
using quillon::test::kMd5ReferenceSuite;
using quillon::test::RandomBytes;

TEST(Md5, MatchesTheReferenceTestSuite)
{
    for (const auto& [input, expected] : kMd5ReferenceSuite)
        EXPECT_EQ(Hex(CMd5::Of(input, std::char_traits<char>::length(input))), expected) << input;
}

TEST(Md5, EverySplitIntoTwoStepsGivesTheSameDigest)
{
    // Lengths around the 56- and 64-byte padding edges, split at every point.
    for (size_t length = 0; length <= 200; ++length) {
        const std::string input = RandomBytes(length, static_cast<unsigned>(length));
        const Md5Digest whole = CMd5::Of(input.data(), input.size());
        for (size_t split = 0; split <= length; ++split) {
            CMd5 md5;
            md5.Update(input.data(), split);
            md5.Update(input.data() + split, length - split);
            ASSERT_EQ(md5.Final(), whole) << "length " << length << " split " << split;
        }
    }
}

TEST(Md5, LargeInputFedInStepsOfAnySizeGivesTheSameDigest)
{
    const std::string input = RandomBytes(1 << 20, 7);
    const Md5Digest whole = CMd5::Of(input.data(), input.size());
    for (size_t step : {size_t{1}, size_t{3}, size_t{63}, size_t{64}, size_t{65}, size_t{1000}, size_t{65536}, size_t{65537}}) {
        CMd5 md5;
        for (size_t offset = 0; offset < input.size(); offset += step)
            md5.Update(input.data() + offset, std::min(step, input.size() - offset));
        EXPECT_EQ(md5.Final(), whole) << "step " << step;
    }
    std::mt19937 random(11);
    CMd5 md5;
    for (size_t offset = 0; offset < input.size();) {
        const size_t step = std::min<size_t>(random() % 5000, input.size() - offset);
        md5.Update(input.data() + offset, step);
        offset += step;
    }
    EXPECT_EQ(md5.Final(), whole) << "random steps";
    md5.Reset();
    md5.Update("abc", 3);
    EXPECT_EQ(Hex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72") << "Reset starts over";
}
