#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "engine/Detection.h"
#include "engine/FolderScan.h"
#include "engine/SearchRun.h"
#include "platform/PathRules.h"
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

}  // namespace

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

TEST_F(DetectionTest, EverySetOfARunOfEqualQuickDigestsFormsRowsBesideItsFirstReadableRecord)
{
    // Files in scan order, one search folder each. Within a size the first file found is digested
    // last and so stands last in its run: the second file found begins the run.
    const std::string head = Bytes(1024, 'h');
    const std::string a = head + Bytes(976, 'a');
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;  // name, content
        std::string vanishes;                                    // unlinked when the pairing opens it
        std::vector<std::pair<std::string, std::string>> rows;   // original, duplicate, as made
    };
    const std::vector<Case> cases = {
        {"a same-size stranger with the set's first KiB begins the run",
         {{"a1", a}, {"stranger", head + Bytes(976, 's')}, {"a2", a}, {"a3", a}},
         "",
         {{"a2", "a3"}, {"a2", "a1"}}},
        {"two sets of different sizes share their first KiB",
         {{"x1", head + Bytes(976, 'x')},
          {"x2", head + Bytes(976, 'x')},
          {"y1", head + Bytes(1976, 'y')},
          {"y2", head + Bytes(1976, 'y')}},
         "",
         {{"x2", "x1"}, {"y2", "y1"}}},
        {"two sets of one size share their first KiB",
         {{"p1", head + Bytes(976, 'p')},
          {"q1", head + Bytes(976, 'q')},
          {"p2", head + Bytes(976, 'p')},
          {"q2", head + Bytes(976, 'q')}},
         "",
         {{"q1", "q2"}, {"p2", "p1"}}},
        {"the run's first record vanished after the scan",
         {{"a", "same"}, {"b", "same"}, {"c", "same"}, {"d", "same"}},
         "b",
         {{"c", "d"}, {"c", "a"}}},
        {"one set whose first record can be read keeps the rows it always had",
         {{"a", "same"}, {"b", "same"}, {"c", "same"}},
         "",
         {{"b", "c"}, {"b", "a"}}},
    };
    for (size_t n = 0; n < cases.size(); ++n) {
        const Case& c = cases[n];
        SCOPED_TRACE(c.name);
        ResetEngine();
        g_fileSystem = &fs;
        std::map<std::string, std::string> pathOf;
        std::map<std::string, uint64_t> sizeOf;
        std::vector<std::string> folders;
        for (size_t i = 0; i < c.files.size(); ++i) {
            const auto& [name, content] = c.files[i];
            folders.push_back(dir / Joined("case", n, "/", i));
            pathOf[name] = folders.back() + "/" + name;
            sizeOf[name] = content.size();
            WriteFile(pathOf[name], content);
        }
        fs.beforeOpenFile = [&](const std::u16string& path) {
            if (!c.vanishes.empty() && g_searchState == ESearchState::Pairing && path == U(pathOf[c.vanishes]))
                unlink(pathOf[c.vanishes].c_str());
        };
        Search(folders);
        Rowset expected;
        uint64_t bytes = 0;
        for (const auto& [original, duplicate] : c.rows) {
            expected.emplace_back(U(pathOf[original]), U(pathOf[duplicate]));
            bytes += sizeOf[original];
        }
        EXPECT_EQ(Rows(), expected);
        EXPECT_EQ(g_duplicateBytes, bytes);
    }
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
    EXPECT_GT(g_fileCount, 0u);
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
        WriteFile(dir / Joined("f", 1000 + i), Joined("content ", 1000 + i));
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
        WriteFile(dir / Joined("f", i + 10), Joined("same size ", i + 10));
    Search({dir.Path()});
    EXPECT_EQ(sink.Count(WMU_COMPAREPROGRESS), 0u);
    EXPECT_TRUE(g_currentPath.empty());
}

TEST_F(DetectionTest, RowsMatchTheGroupsOfEqualContentInARandomTree)
{
    // Many windows of digests computed ahead: sizes shared by chance, copies, files of equal size
    // with other content, files that share their first 1024 bytes and their size with another but
    // not their tail, and files larger than one digest step.
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
        } else if (kind == 5 && !contents.empty() && contents.back().size() > 1024) {
            content = contents.back();  // same size and first KiB, another tail
            content.back() = static_cast<char>(content.back() + 1 + random() % 2);
        } else {
            content.resize(1 + random() % (kind == 4 ? 200000 : 3000));
            for (char& c : content)
                c = static_cast<char>('a' + random() % 3);
        }
        contents.push_back(content);
        const std::string path = dir / Joined("d", i % 37, "/f", i);
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

TEST_F(DetectionTest, TheFolderTallyCountsTheTwoFoldersOfEveryRowAlsoWhenAFolderIsWalkedTwice)
{
    // d/s is walked on its own and again inside d: its files come from two listings of one folder,
    // and the tally counts that folder as one.
    for (const char* name : {"a", "b", "s/c", "s/d", "s/t/e"})
        WriteFile(dir / (std::string("d/") + name), "same content");
    WriteFile(dir / "d/s/f", "other content");
    WriteFile(dir / "d/g", "other content");
    Search({dir / "d/s", dir / "d"});
    ASSERT_FALSE(g_duplicates.empty());
    std::map<std::u16string, uint32_t, CodeUnitLess> expected;
    for (const CDuplicatePair& row : g_duplicates)
        for (const CPathString* path : {&row.originalPath, &row.duplicatePath})
            ++expected[std::u16string(FolderViewOfPath(path->view()))];
    EXPECT_EQ(g_folderTally, expected);
}
