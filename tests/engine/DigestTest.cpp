#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <random>
#include <type_traits>

#include "engine/Digest.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/EngineHelpers.h"

using namespace quillon::test;

namespace {

class DigestTest : public EngineTest {
protected:
    // Writes a file with a fixed modification time and returns its record as the scan makes it.
    CFileRecord MakeFile(const std::string& name, const std::string& content, int64_t mtime = 1600000000)
    {
        WriteFile(dir / name, content);
        SetMtime(dir / name, mtime);
        LetFilesAge();
        return Scanned(name);
    }
    CFileRecord Scanned(const std::string& name)
    {
        g_fileList.clear();
        ScanFolder(U(dir.Path()), nullptr);
        for (const CFileRecord& record : g_fileList)
            if (record.path == U(dir / name))
                return record;
        ADD_FAILURE() << "not listed: " << name;
        return {};
    }
};

}  // namespace

TEST_F(DigestTest, QuickDigestCoversTheFirst1024BytesAndEqualsTheFullDigestOfSmallFiles)
{
    const std::string small = RandomBytes(1024, 1);
    const std::string large = RandomBytes(5000, 2);
    CFileRecord smallRecord = MakeFile("small", small);
    CFileRecord largeRecord = MakeFile("large", large);

    CFileRecord quick = smallRecord, full = smallRecord;
    ASSERT_TRUE(GetQuickDigest(quick));
    ASSERT_TRUE(GetFullDigest(full));
    EXPECT_EQ(quick.digest, full.digest);
    EXPECT_EQ(full.digest, CMd5::Of(small.data(), small.size()));

    quick = largeRecord;
    full = largeRecord;
    ASSERT_TRUE(GetQuickDigest(quick));
    ASSERT_TRUE(GetFullDigest(full));
    EXPECT_EQ(quick.digest, CMd5::Of(large.data(), 1024));
    EXPECT_EQ(full.digest, CMd5::Of(large.data(), large.size()));
}

TEST_F(DigestTest, DigestFileHonoursTheLimitAndFailsOnEmptyOrMissingFiles)
{
    const std::string content = RandomBytes(70000, 3);
    WriteFile(dir / "f", content);
    WriteFile(dir / "empty", "");
    CFileRecord record;
    ASSERT_TRUE(DigestFile(U(dir / "f"), record, 100));
    EXPECT_EQ(record.digest, CMd5::Of(content.data(), 100));
    ASSERT_TRUE(DigestFile(U(dir / "f"), record, 1 << 20)) << "a limit above the size digests the file";
    EXPECT_EQ(record.digest, CMd5::Of(content.data(), content.size()));
    EXPECT_FALSE(DigestFile(U(dir / "empty"), record, 0));
    EXPECT_FALSE(DigestFile(U(dir / "missing"), record, 0));
}

TEST_F(DigestTest, ChangedTimeRecomputesAndReplacesTheCacheEntry)
{
    CFileRecord record = MakeFile("f", "first content");
    ASSERT_TRUE(GetQuickDigest(record));
    record = MakeFile("f", "second content", 1600000001);
    ASSERT_TRUE(GetQuickDigest(record));
    EXPECT_EQ(record.digest, CMd5::Of("second content", 14));
    ASSERT_EQ(g_quickDigestCache.size(), 1u);
    ASSERT_NE(g_quickDigestCache.Find(record.path), nullptr);
    EXPECT_EQ(g_quickDigestCache.Find(record.path)->lastWrite, record.lastWrite);
    EXPECT_EQ(g_quickDigestCache.Find(record.path)->digest, record.digest);
}

TEST_F(DigestTest, EntryWhoseTimeDiffersIsRemovedWhenTheNewDigestFails)
{
    CFileRecord record = MakeFile("f", "content");
    ASSERT_TRUE(GetFullDigest(record));
    record.lastWrite += 1;
    fs.failFiles.insert(record.path.str());
    EXPECT_FALSE(GetFullDigest(record));
    EXPECT_TRUE(g_fullDigestCache.empty());
}

TEST_F(DigestTest, RenamedFileIsDigestedAgainAndTheOldEntryStays)
{
    CFileRecord record = MakeFile("old", "content");
    ASSERT_TRUE(GetQuickDigest(record));
    ASSERT_EQ(std::rename((dir / "old").c_str(), (dir / "new").c_str()), 0);
    LetFilesAge();
    const uint64_t readBefore = fs.bytesRead;
    CFileRecord renamed = Scanned("new");
    ASSERT_TRUE(GetQuickDigest(renamed));
    EXPECT_GT(fs.bytesRead, readBefore);
    EXPECT_EQ(g_quickDigestCache.size(), 2u);
}

TEST_F(DigestTest, PathsThatDifferOnlyInCaseAreTwoEntries)
{
    CFileRecord lower = MakeFile("photo.jpg", "same");
    CFileRecord upper = MakeFile("PHOTO.JPG", "same");
    ASSERT_TRUE(GetQuickDigest(lower));
    ASSERT_TRUE(GetQuickDigest(upper));
    EXPECT_EQ(g_quickDigestCache.size(), 2u);
    EXPECT_EQ(fs.opened.size(), 2u);
}

TEST_F(DigestTest, StopDuringALargeFullDigestFailsAndCachesNothing)
{
    const std::string content = RandomBytes(1 << 20, 4);
    CFileRecord record = MakeFile("big", content);
    fs.afterRead = [](const std::u16string&, uint64_t total) {
        if (total >= kDigestStep)
            g_stopFlag.fetch_add(1);
    };
    CFileRecord copy = record;
    EXPECT_FALSE(GetFullDigest(copy));
    EXPECT_TRUE(g_fullDigestCache.empty());
    EXPECT_EQ(fs.bytesRead, kDigestStep) << "the stop was seen before the second step";

    fs.afterRead = nullptr;
    g_stopFlag.store(0);
    copy = record;
    ASSERT_TRUE(GetFullDigest(copy)) << "a later run computes it in full";
    EXPECT_EQ(copy.digest, CMd5::Of(content.data(), content.size()));
}

TEST_F(DigestTest, DigestsOfAtMostOneStepNeverLookAtTheStopFlag)
{
    CFileRecord oneStep = MakeFile("one-step", RandomBytes(kDigestStep, 5));
    CFileRecord twoSteps = MakeFile("two-steps", RandomBytes(kDigestStep + 1, 6));
    g_stopFlag.store(1);
    CFileRecord record = twoSteps;
    EXPECT_TRUE(GetQuickDigest(record));
    record = oneStep;
    EXPECT_TRUE(GetFullDigest(record));
    record = twoSteps;
    EXPECT_FALSE(GetFullDigest(record));
}

TEST_F(DigestTest, FileThatShrinksVanishesOrFailsToReadMakesTheDigestFail)
{
    CFileRecord shrinking = MakeFile("shrinking", RandomBytes(300000, 7));
    CFileRecord vanishing = MakeFile("vanishing", RandomBytes(3000, 8));
    CFileRecord broken = MakeFile("broken", RandomBytes(3000, 9));
    const std::string shrinkingPath = dir / "shrinking";
    fs.afterRead = [&](const std::u16string& path, uint64_t) {
        if (path == shrinking.path) {
            ASSERT_EQ(truncate(shrinkingPath.c_str(), 1000), 0);
        }
    };
    fs.beforeOpenFile = [&](const std::u16string& path) {
        if (path == vanishing.path)
            unlink((dir / "vanishing").c_str());
    };
    fs.failReads.insert(broken.path.str());
    EXPECT_FALSE(GetFullDigest(shrinking));
    EXPECT_FALSE(GetQuickDigest(vanishing));
    EXPECT_FALSE(GetQuickDigest(broken));
    EXPECT_TRUE(g_fullDigestCache.empty());
    EXPECT_TRUE(g_quickDigestCache.empty());
}

TEST_F(DigestTest, NameThatIsNotUtf8IsDigested)
{
    const std::string content = "not utf-8 name";
    CFileRecord record = MakeFile("\xE9\xFF", content);
    ASSERT_TRUE(GetFullDigest(record));
    EXPECT_EQ(record.digest, CMd5::Of(content.data(), content.size()));
}

// The listing places point into a cache's entries: nothing may copy, move or swap them away.
static_assert(!std::is_copy_constructible_v<CDigestCache> && !std::is_move_constructible_v<CDigestCache> &&
              !std::is_swappable_v<CDigestCache>);

TEST_F(DigestTest, LearnedEntriesAreTakenOnceInListingOrderAlsoAfterTheListingForgetsItsEntries)
{
    // Four records listed; the entries of the last and the first are learned (in that order),
    // and one for a path outside the listing. Removing another entry makes the listing forget
    // every entry it knew: the learned ones are still given, each once, the listing's first.
    CDigestCache cache;
    std::vector<CFileRecord> listed(4);
    cache.BeginListing(listed.size());
    for (uint32_t i = 0; i < listed.size(); ++i) {
        listed[i].path = CPathString(u"/tree/f" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
        listed[i].listPosition = i;
        cache.MatchNext(listed[i]);
    }
    cache.EndListing();
    const auto learn = [&](const CFileRecord& record) {
        const CFileRecord& entry = cache.Keep(record);
        cache.NoteListed(record, entry);
        cache.NoteLearned(record, entry);
    };
    learn(listed[3]);
    learn(listed[0]);
    CFileRecord elsewhere;
    elsewhere.path = CPathString(u"/other/g");
    learn(elsewhere);
    cache.Keep(listed[1]);
    cache.Remove(listed[1].path);

    std::vector<std::u16string> taken;
    for (const CDigestCache::Learned& learned : cache.TakeLearned()) {
        EXPECT_EQ(learned.path->view(), learned.entry->path.view());
        taken.push_back(learned.entry->path.str());
    }
    EXPECT_EQ(taken, (std::vector<std::u16string>{u"/tree/f0", u"/tree/f3", u"/other/g"}));
    EXPECT_TRUE(cache.TakeLearned().empty());

    // Marks not taken when the next listing begins keep their paths.
    learn(listed[2]);
    cache.BeginListing(0);
    cache.EndListing();
    ASSERT_EQ(cache.TakeLearned().size(), 1u);
}
