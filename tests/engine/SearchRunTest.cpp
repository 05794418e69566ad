#include <gtest/gtest.h>

#include "engine/SearchRun.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

class SearchRunTest : public EngineTest {
protected:
    // A previous result that a stopped run must clear (rows) or keep (tally).
    void PretendPreviousResult()
    {
        g_duplicates.push_back(CDuplicatePair{u"/old/o", u"/old/d", 1, 0, 0});
        g_folderTally[u"/old"] = 2;
    }
    // Two pairs of small equal files and one pair of large equal files.
    void MakeMixedPairs()
    {
        WriteFile(dir / "1/small-a", "small");
        WriteFile(dir / "2/small-b", "small");
        WriteFile(dir / "1/big-a", std::string(200000, 'b'));
        WriteFile(dir / "2/big-b", std::string(200000, 'b'));
    }
};

}  // namespace

TEST_F(SearchRunTest, StopDuringTheScanDiscardsTheRunButKeepsTheTally)
{
    MakeMixedPairs();
    PretendPreviousResult();
    sink.onMessage = [](unsigned message) {
        if (message == WMU_SCANPROGRESS)
            RequestStop();
    };
    Search({dir / "1", dir / "2"});
    EXPECT_TRUE(g_fileList.empty());
    EXPECT_TRUE(g_duplicates.empty());
    EXPECT_EQ(g_folderTally.size(), 1u);
    EXPECT_EQ(sink.Count(WMU_SEARCHDONE), 1u);
    EXPECT_EQ(sink.messages.back(), WMU_SEARCHDONE);
    EXPECT_TRUE(fs.opened.empty());
}

TEST_F(SearchRunTest, StopDuringGroupingDiscardsTheRunAndItsFileCountStands)
{
    for (int i = 0; i < 150; ++i)
        WriteFile(dir / Joined("f", 100 + i), Joined("same size ", 100 + i));
    WriteFile(dir / "copy-of-f100", "same size 100");
    PretendPreviousResult();
    sink.onMessage = [](unsigned message) {
        if (message == WMU_COMPAREPROGRESS)
            RequestStop();
    };
    Search({dir.Path()});
    EXPECT_TRUE(g_fileList.empty());
    EXPECT_TRUE(g_duplicates.empty());
    EXPECT_EQ(g_folderTally.size(), 1u);
    EXPECT_EQ(g_fileCount, 151u);
    EXPECT_EQ(g_duplicateBytes, 0u);
    EXPECT_EQ(sink.Count(WMU_SEARCHDONE), 1u);
}

TEST_F(SearchRunTest, StopDuringPairingKeepsRowsMadeSoFarAndLargerDigestsFail)
{
    MakeMixedPairs();
    PretendPreviousResult();
    fs.beforeOpenFile = [](const std::u16string&) {
        if (g_searchState == ESearchState::Pairing)
            RequestStop();
    };
    Search({dir / "1", dir / "2"});
    ASSERT_EQ(g_duplicates.size(), 1u) << "the small pair is still compared, the large one fails";
    EXPECT_EQ(g_duplicates[0].originalPath, U(dir / "2/small-b"));
    EXPECT_EQ(g_folderTally.size(), 2u) << "the tally of this run replaced the old one";
    EXPECT_EQ(g_fullDigestCache.Find(U(dir / "1/big-a")), nullptr);
    EXPECT_EQ(sink.Count(WMU_SEARCHDONE), 1u);
}

TEST_F(SearchRunTest, SecondSearchOverAnUnchangedTreeReadsNoFileContent)
{
    MakeMixedPairs();
    Search({dir / "1", dir / "2"});
    ASSERT_EQ(g_duplicates.size(), 2u);
    const uint64_t firstRead = fs.bytesRead;
    EXPECT_GT(firstRead, 400000u);
    sink.messages.clear();
    Search({dir / "1", dir / "2"});
    EXPECT_EQ(g_duplicates.size(), 2u);
    EXPECT_EQ(fs.bytesRead, firstRead);
}

TEST_F(SearchRunTest, NoSearchFoldersEndsNormallyWithNothing)
{
    Search({});
    EXPECT_EQ(sink.messages, (std::vector<unsigned>{WMU_SCANPROGRESS, WMU_SEARCHDONE}));
    EXPECT_EQ(g_fileCount, 0u);
    EXPECT_TRUE(g_duplicates.empty());
    EXPECT_EQ(g_searchState.load(), ESearchState::Idle);
}

TEST_F(SearchRunTest, SizeBoundsOfTheRunApply)
{
    WriteFile(dir / "1/a", std::string(2048, 'a'));
    WriteFile(dir / "2/b", std::string(2048, 'a'));
    BeginSearchRun(2, 0);
    SearchThreadProc(&sink, {U(dir / "1"), U(dir / "2")});
    EXPECT_TRUE(g_duplicates.empty()) << "2048 bytes is not above 2 KB";
    BeginSearchRun(1, 3);
    SearchThreadProc(&sink, {U(dir / "1"), U(dir / "2")});
    EXPECT_EQ(g_duplicates.size(), 1u);
}
