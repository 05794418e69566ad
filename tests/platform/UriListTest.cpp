// Dropped "text/uri-list" data: which lines become local paths, and that every path keeps its
// exact bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/NativeName.h"
#include "platform/UriList.h"

namespace {

struct UriListCase {
    const char* name;
    std::string data;
    std::vector<std::string> pathBytes;  // expected, as native bytes
};

class UriListTest : public testing::TestWithParam<UriListCase> {};

TEST_P(UriListTest, KeepsLocalFilePathsWithTheirExactBytes)
{
    const UriListCase& c = GetParam();
    std::vector<std::string> got;
    for (const std::u16string& path : LocalPathsFromUriList(c.data))
        got.push_back(EncodeNativeName(path));
    EXPECT_EQ(got, c.pathBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UriListTest,
    testing::Values(UriListCase{"CrLfLinesInOrder", "file:///home/ann/a\r\nfile:///srv/b\r\n", {"/home/ann/a", "/srv/b"}},
                    UriListCase{"BareLfAndNoFinalNewline", "file:///a\nfile:///b", {"/a", "/b"}},
                    UriListCase{"CommentsAndBlankLinesSkipped", "# from a file manager\r\n\r\nfile:///a\r\n", {"/a"}},
                    UriListCase{"PercentEscapesBecomeBytes", "file:///My%20Photos/caf%C3%A9", {"/My Photos/caf\xC3\xA9"}},
                    UriListCase{"NotUtf8BytesSurvive", "file:///tmp/caf%E9/%FF%fe", {"/tmp/caf\xE9/\xFF\xFE"}},
                    UriListCase{"LocalhostAndSchemeInAnyCase", "FILE://LocalHost/x", {"/x"}},
                    UriListCase{"SingleSlashForm", "file:/x/y", {"/x/y"}},
                    UriListCase{"QueryAndFragmentAreNotPath", "file:///a%3Fb?q=1#frag", {"/a?b"}},
                    UriListCase{"StrayPercentStandsForItself", "file:///100%/x%2", {"/100%/x%2"}},
                    UriListCase{
                        "OtherSchemesAndHostsLeftOut", "http://example.com/a\r\nfile://elsewhere.invalid/b\r\nfile:///c", {"/c"}},
                    UriListCase{"RelativeAndNulPathsLeftOut", "file:relative\r\nfile:///a%00b\r\nfile://", {}}),
    [](const testing::TestParamInfo<UriListCase>& info) { return info.param.name; });

TEST(UriList, ThisMachinesNameCountsAsLocal)
{
    char host[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    const auto paths = LocalPathsFromUriList(std::string("file://") + host + "/srv/x\r\n");
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], u"/srv/x");
}

}  // namespace
