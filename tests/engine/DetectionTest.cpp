#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "engine/Detection.h"
#include "engine/FolderScan.h"
#include "engine/SearchRun.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

std::string Bytes(size_t length, char fill, const std::string& tail = "")
{
    return std::string(length - tail.size(), fill) + tail;
}

class DetectionTest : public EngineTest {
protected:
    std::vector<std::pair<std::u16string, std::u16string>> Rows() const
    {
        std::vector<std::pair<std::u16string, std::u16string>> rows;
        for (const CDuplicatePair& row : g_duplicates)
            rows.emplace_back(row.originalPath, row.duplicatePath);
        return rows;
    }
    using Rowset = std::vector<std::pair<std::u16string, std::u16string>>;
};

} // namespace

TEST_F(DetectionTest, TwoEqualFilesFoundAThenBMakeBTheOriginal)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    Search({dir / "1", dir / "2"});
    EXPECT_EQ(Rows(), (Rowset{{U(dir / "2/b"), U(dir / "1/a")}}));
    EXPECT_EQ(g_duplicateBytes, 4u);
    EXPECT_EQ(g_duplicates[0].size, 4u);
}

TEST_F(DetectionTest, ThreeEqualFilesFoundABCGiveOriginalBWithCThenA)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    WriteFile(dir / "3/c", "same");
    SetMtime(dir / "1/a", 1000);
    SetMtime(dir / "2/b", 2000);
    SetMtime(dir / "3/c", 3000);
    Search({dir / "1", dir / "2", dir / "3"});
    EXPECT_EQ(Rows(), (Rowset{{U(dir / "2/b"), U(dir / "3/c")}, {U(dir / "2/b"), U(dir / "1/a")}}));
    EXPECT_EQ(g_duplicates[0].originalTime, FileTimeFromUnix(2000, 0));
    EXPECT_EQ(g_duplicates[0].duplicateTime, FileTimeFromUnix(3000, 0));
    EXPECT_EQ(g_folderTally[U(dir / "2")], 2u) << "the original's folder counts once per row";
    EXPECT_EQ(g_duplicateBytes, 8u);
}

TEST_F(DetectionTest, DifferentFileOfTheSameSizeDropsOutAndUniqueSizesAreNeverOpened)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    WriteFile(dir / "3/c", "diff");
    WriteFile(dir / "3/unique", "a size of its own");
    Search({dir / "1", dir / "2", dir / "3"});
    EXPECT_EQ(Rows().size(), 1u);
    for (const std::u16string& opened : fs.opened)
        EXPECT_NE(opened, U(dir / "3/unique"));
}

TEST_F(DetectionTest, EqualFirst1024BytesWithDifferentTailsFormNoRow)
{
    WriteFile(dir / "a", Bytes(3000, 'x', "tail-1"));
    WriteFile(dir / "b", Bytes(3000, 'x', "tail-2"));
    Search({dir.Path()});
    EXPECT_TRUE(g_duplicates.empty());
    EXPECT_EQ(g_fileList.size(), 2u) << "both were candidates";
}

TEST_F(DetectionTest, SmallEqualFilesFormOneRowPerDuplicate)
{
    for (const char* name : {"1/a", "2/b", "3/c", "4/d"})
        WriteFile(dir / name, Bytes(1024, 'k'));
    Search({dir / "1", dir / "2", dir / "3", dir / "4"});
    EXPECT_EQ(Rows().size(), 3u);
    for (const CDuplicatePair& row : g_duplicates)
        EXPECT_EQ(row.originalPath, U(dir / "2/b"));
}

TEST_F(DetectionTest, CoincidingQuickDigestsFormOneRunAndOnlyTheSetOfItsFirstRecordPairs)
{
    const std::string head = Bytes(1024, 'h');
    WriteFile(dir / "1/x1", head + Bytes(976, 'x'));    // set X: 2000 bytes
    WriteFile(dir / "2/x2", head + Bytes(976, 'x'));
    WriteFile(dir / "3/y1", head + Bytes(1976, 'y'));   // set Y: 3000 bytes, same first 1024
    WriteFile(dir / "4/y2", head + Bytes(1976, 'y'));
    Search({dir / "1", dir / "2", dir / "3", dir / "4"});
    EXPECT_EQ(Rows(), (Rowset{{U(dir / "2/x2"), U(dir / "1/x1")}}))
        << "the Y files are compared only with the run's original";
}

TEST_F(DetectionTest, OriginalThatVanishedAfterTheScanGivesNoRowsForItsRun)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    WriteFile(dir / "3/c", "same");
    WriteFile(dir / "4/p", "pair!");
    WriteFile(dir / "5/q", "pair!");
    fs.beforeOpenFile = [&](const std::u16string& path) {
        if (g_searchState == ESearchState::Pairing && path == U(dir / "2/b"))
            unlink((dir / "2/b").c_str());
    };
    Search({dir / "1", dir / "2", dir / "3", dir / "4", dir / "5"});
    EXPECT_EQ(Rows(), (Rowset{{U(dir / "5/q"), U(dir / "4/p")}}));
}

TEST_F(DetectionTest, FolderHoldingBothFilesOfARowCountsTwiceAndCaseMakesDistinctFolders)
{
    WriteFile(dir / "Photos/a", "same");
    WriteFile(dir / "Photos/b", "same");
    WriteFile(dir / "photos/c", "other");
    WriteFile(dir / "photos/d", "other");
    Search({dir.Path()});
    EXPECT_EQ(g_folderTally.size(), 2u);
    EXPECT_EQ(g_folderTally[U(dir / "Photos")], 2u);
    EXPECT_EQ(g_folderTally[U(dir / "photos")], 2u);
}

TEST_F(DetectionTest, TheSameFileReachedTwiceNeverFormsARowWithItself)
{
    WriteFile(dir / "top/only-copy", "lonely content");
    WriteFile(dir / "top/sub/also-alone", "another lonely one");
    ASSERT_EQ(symlink("top", (dir / "alias").c_str()), 0);
    WriteFile(dir / "linked/original", "hard linked");
    ASSERT_EQ(link((dir / "linked/original").c_str(), (dir / "linked/hard-link").c_str()), 0);

    // The folder twice, the folder with its own subfolder, the folder through a link, a hard link.
    Search({dir / "top", dir / "top", dir / "top/sub", dir / "alias", dir / "linked"});
    EXPECT_GT(g_fileList.size(), 0u);
    EXPECT_TRUE(g_duplicates.empty()) << "every file exists once; no row may offer its only copy";
}

TEST_F(DetectionTest, CopiesFoundTwiceMakeOneRowPerFile)
{
    WriteFile(dir / "top/a", "same");
    WriteFile(dir / "top/sub/b", "same");
    WriteFile(dir / "top/sub/c", "same");
    Search({dir / "top", dir / "top", dir / "top/sub"});
    EXPECT_EQ(g_fileList.size(), 8u) << "every walk lists its files";
    ASSERT_EQ(g_duplicates.size(), 2u) << "three copies: two rows, whatever the overlap";
    EXPECT_NE(g_duplicates[0].duplicatePath, g_duplicates[1].duplicatePath);
    for (const CDuplicatePair& row : g_duplicates)
        EXPECT_NE(row.originalPath, row.duplicatePath);
    EXPECT_EQ(g_duplicateBytes, 8u);
}

TEST_F(DetectionTest, HardLinksToACopyStayRowsOfTheirOwn)
{
    // The run's original is the second file found; both names of the linked copy are shown
    // beside it, since only removing both frees the copy's space.
    WriteFile(dir / "1/copy", "same");
    WriteFile(dir / "2/original", "same");
    MakeDirs(dir / "3");
    ASSERT_EQ(link((dir / "1/copy").c_str(), (dir / "3/link").c_str()), 0);
    Search({dir / "1", dir / "2", dir / "3"});
    ASSERT_EQ(g_duplicates.size(), 2u);
    for (const CDuplicatePair& row : g_duplicates)
        EXPECT_EQ(row.originalPath, U(dir / "2/original"));
}

TEST_F(DetectionTest, CompareProgressComesEveryHundredExaminedFilesWithTheCurrentPath)
{
    for (int i = 0; i < 250; ++i)
        WriteFile(dir / ("f" + std::to_string(1000 + i)), "content " + std::to_string(1000 + i));
    std::vector<std::pair<uint32_t, std::u16string>> reports;
    sink.onMessage = [&](unsigned message) {
        if (message == WMU_COMPAREPROGRESS)
            reports.emplace_back(g_progressCount, g_currentPath);
    };
    Search({dir.Path()});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].first, 100u);
    EXPECT_EQ(reports[1].first, 200u);
    EXPECT_FALSE(reports[0].second.empty());
    EXPECT_EQ(g_progressCount, 250u);
}

TEST_F(DetectionTest, FewerThanHundredExaminedFilesSendNoCompareProgress)
{
    for (int i = 0; i < 99; ++i)
        WriteFile(dir / ("f" + std::to_string(i + 10)), "same size " + std::to_string(i + 10));
    Search({dir.Path()});
    EXPECT_EQ(sink.Count(WMU_COMPAREPROGRESS), 0u);
    EXPECT_TRUE(g_currentPath.empty());
}

TEST_F(DetectionTest, RowsMatchTheGroupsOfEqualContentInARandomTree)
{
    // Many windows of digests computed ahead: sizes shared by chance, copies, files of equal size
    // with other content, and files larger than one digest step. (Sets whose first 1024 bytes
    // coincide are left out: only the set of their run's first record pairs, by design.)
    std::mt19937 random(99);
    std::map<std::string, std::vector<std::u16string>> byContent;
    std::vector<std::string> contents;
    for (int i = 0; i < 1500; ++i) {
        std::string content;
        const unsigned kind = random() % 10;
        if (kind < 3 && !contents.empty()) {
            content = contents[random() % contents.size()];  // a copy
        } else if (kind == 3 && !contents.empty()) {
            content = contents[random() % contents.size()];  // same size, first byte changed
            content.front() = static_cast<char>(content.front() + 1);
        } else {
            content.resize(1 + random() % (kind == 4 ? 200000 : 3000));
            for (char& c : content)
                c = static_cast<char>('a' + random() % 3);
        }
        contents.push_back(content);
        const std::string path = dir / ("d" + std::to_string(i % 37) + "/f" + std::to_string(i));
        WriteFile(path, content);
        byContent[content].push_back(U(path));
    }
    size_t expectedRows = 0;
    for (const auto& [content, paths] : byContent)
        expectedRows += paths.size() - 1;

    Search({dir.Path()});
    EXPECT_EQ(g_duplicates.size(), expectedRows);
    std::map<std::u16string, std::string> contentOf;
    for (const auto& [content, paths] : byContent)
        for (const std::u16string& path : paths)
            contentOf[path] = content;
    std::set<std::u16string> duplicates;
    for (const CDuplicatePair& row : g_duplicates) {
        EXPECT_EQ(contentOf[row.originalPath.str()], contentOf[row.duplicatePath.str()]);
        EXPECT_TRUE(duplicates.insert(row.duplicatePath.str()).second) << "each file is a duplicate at most once";
    }
    for (const CDuplicatePair& row : g_duplicates)
        EXPECT_EQ(duplicates.count(row.originalPath.str()), 0u) << "an original is never also a duplicate";
}
