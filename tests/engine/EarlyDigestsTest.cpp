#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/Catalogue.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

class EarlyDigestsTest : public EngineTest {
protected:
    std::vector<std::pair<std::u16string, std::u16string>> Rows() const
    {
        std::vector<std::pair<std::u16string, std::u16string>> rows;
        for (const CDuplicatePair& row : g_duplicates)
            rows.emplace_back(row.originalPath.str(), row.duplicatePath.str());
        return rows;
    }
};

}  // namespace

TEST_F(EarlyDigestsTest, QuickDigestsTakenWhileTheScanRunsGiveTheRowsOfTheGroupingPhase)
{
    // Enough files that the scan hands several batches to the digest threads: sizes shared across
    // folders, equal and different contents of one size, equal first KiB with different tails,
    // unreadable files, and files alone in their size (never to be opened).
    std::set<std::u16string> alone;
    for (int folder = 0; folder < 40; ++folder) {
        for (int i = 0; i < 60; ++i) {
            const std::string path = dir / Joined("d", folder, "/f", i);
            const int size = 1500 + i % 30;
            std::string content(size, static_cast<char>('a' + (folder + i) % 3));
            if (i % 7 == 0)
                content.back() = 'z';  // the same first KiB, another tail
            if (i == 59)
                content.resize(100000 + folder);  // alone in its size
            WriteFile(path, content);
            if (i == 59)
                alone.insert(U(path));
            if (i % 13 == 0)
                fs.failFiles.insert(U(path));
        }
    }
    std::atomic<size_t> openedWhileScanning{0};
    fs.beforeOpenFile = [&](const std::u16string&) {
        if (g_searchState.load() == ESearchState::Scanning)
            ++openedWhileScanning;
    };
    Search({dir.Path()});
    const auto early = Rows();
    std::vector<std::u16string> opened = fs.opened;
    EXPECT_GT(openedWhileScanning.load(), 0u) << "no digest was taken early";
    // The same search with something in the cache: every quick digest waits for the grouping phase.
    ResetEngine();
    g_fileSystem = &fs;
    CFileRecord elsewhere;
    elsewhere.path = CPathString(u"/elsewhere");
    g_fullDigestCache.Keep(elsewhere);
    openedWhileScanning = 0;
    fs.opened.clear();
    Search({dir.Path()});
    EXPECT_EQ(openedWhileScanning.load(), 0u);
    EXPECT_EQ(Rows(), early);
    EXPECT_FALSE(early.empty());
    opened.insert(opened.end(), fs.opened.begin(), fs.opened.end());
    for (const std::u16string& path : opened)
        EXPECT_FALSE(alone.count(path)) << "a file alone in its size was opened";
}
