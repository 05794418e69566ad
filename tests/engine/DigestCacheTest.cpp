#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>

#include "engine/Digest.h"
#include "engine/RacyEntries.h"
#include "engine/SqliteDigestStore.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/Unprivileged.h"

using namespace quillon::test;

namespace {

// Change times come from a coarse clock: two changes within one of its ticks look alike. Waits
// (touching a probe file) until a change made now would carry a later time than the file's.
void WaitForChangeTimeToPass(const std::string& file, const std::string& probe)
{
    struct stat before;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    for (;;) {
        WriteFile(probe, "tick");
        struct stat now;
        ASSERT_EQ(stat(probe.c_str(), &now), 0);
        if (now.st_ctim.tv_sec > before.st_ctim.tv_sec ||
            (now.st_ctim.tv_sec == before.st_ctim.tv_sec && now.st_ctim.tv_nsec > before.st_ctim.tv_nsec))
            return;
    }
}

class DigestCacheTest : public EngineTest {
protected:
    std::set<std::u16string> OpenedPaths() const { return {fs.opened.begin(), fs.opened.end()}; }
    // Forgets every digest held in memory, as a new process would.
    static void ForgetDigestsInMemory()
    {
        g_quickDigestCache.clear();
        g_fullDigestCache.clear();
    }
    std::string StoreFile() const { return dir / "cache/digests.sqlite"; }
    // Two equal files in dir/tree that the user "nobody" can search.
    void WritePairForNobody()
    {
        WriteFile(dir / "tree/a", "same");
        WriteFile(dir / "tree/b", "same");
        ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
        ASSERT_EQ(chmod((dir / "tree").c_str(), 0755), 0);
    }
    // Searches dir/tree as "nobody" through the store at StoreFile(), in a process of its own, and
    // returns what `verdict` says of the store after the search (0: as it should be).
    int SearchAsNobody(const std::function<int(const CSqliteDigestStore&)>& verdict)
    {
        return RunUnprivileged([&] {
            int result = 0;
            {
                CSqliteDigestStore store(StoreFile());
                g_digestStore = &store;
                fs.bytesRead = 0;
                BeginSearchRun(0, 0);
                SearchThreadProc(nullptr, {U(dir / "tree")});
                result = verdict(store);
            }  // closed, as at the end of a program
            return result;
        });
    }
    // Runs an SQL query on the store's file and returns its first column of its first row.
    static std::string Query(const std::string& file, const std::string& sql)
    {
        sqlite3* db = nullptr;
        std::string result = "(failed)";
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return result;
    }
};

}  // namespace

TEST_F(DigestCacheTest, ASecondSearchReadsExactlyTheFilesThatAreNotProvablyTheOnesDigested)
{
    // Three files of one size: a and b equal, c different. Between two searches a change is made;
    // the second search must read exactly the files named, and its rows follow the new content.
    const std::string same = std::string(3000, 's');
    const std::string other = std::string(3000, 'o');
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> change;
        size_t rows;
        std::set<std::string> read;
    };
    const std::vector<Case> cases = {
        {"untouched", [](const TempDir&) {}, 1, {}},
        {"rewritten in place with its size and time",
         [&](const TempDir& d) {
             WriteFile(d / "c", same);
             SetMtime(d / "c", 1600000000);
         },
         2,
         {"c"}},
        {"replaced by a copy with the same size and time",
         [&](const TempDir& d) {
             WriteFile(d / "copy", same);
             SetMtime(d / "copy", 1600000000);
             ASSERT_EQ(std::rename((d / "copy").c_str(), (d / "c").c_str()), 0);
         },
         2,
         {"c"}},
        {"renamed",
         [](const TempDir& d) { ASSERT_EQ(std::rename((d / "b").c_str(), (d / "renamed").c_str()), 0); },
         1,
         {"renamed"}},
        // The listing shifts: the files after the change meet their entries one place away.
        {"joined by a new file", [&](const TempDir& d) { WriteFile(d / "new", same); }, 2, {"new"}},
        {"one of them removed", [](const TempDir& d) { ASSERT_EQ(std::remove((d / "a").c_str()), 0); }, 0, {}},
        // Its entry no longer fits and is dropped while the others' stay known.
        {"rewritten, then unreadable",
         [&](const TempDir& d) {
             WriteFile(d / "c", same);
             fs.failFiles.insert(U(d / "c"));
         },
         1,
         {"c"}},
    };
    // Between the searches the digests stay in memory, or only the store on disk keeps them (read
    // in bulk), or both do (the store is asked for what memory misses).
    enum EKept { kMemory, kDisk, kBoth };
    for (const EKept kept : {kMemory, kDisk, kBoth})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (kept == kMemory ? ", in memory" : kept == kDisk ? ", on disk" : ", in both"));
            const bool fromDisk = kept == kDisk;
            ResetEngine();
            g_fileSystem = &fs;
            TempDir tree;
            CSqliteDigestStore store(tree / "cache/digests.sqlite");
            if (kept != kMemory)
                g_digestStore = &store;
            for (const auto& [name, content] : {std::pair{"a", same}, {"b", same}, {"c", other}}) {
                WriteFile(tree / name, content);
                SetMtime(tree / name, 1600000000);
            }
            LetFilesAge();
            Search({tree.Path()});
            ASSERT_EQ(g_duplicates.size(), 1u);
            WaitForChangeTimeToPass(tree / "c", dir / "probe");
            c.change(tree);
            LetFilesAge();
            fs.opened.clear();
            if (fromDisk)
                ForgetDigestsInMemory();
            Search({tree.Path()});
            EXPECT_EQ(g_duplicates.size(), c.rows);
            std::set<std::u16string> read;
            for (const std::string& name : c.read)
                read.insert(U(tree / name));
            EXPECT_EQ(OpenedPaths(), read);
            if (kept == kMemory)
                continue;
            // What the second search learned joined what the store held: a third process reads
            // nothing but the files that cannot be read.
            CSqliteDigestStore again(tree / "cache/digests.sqlite");
            g_digestStore = &again;
            ForgetDigestsInMemory();
            fs.opened.clear();
            Search({tree.Path()});
            EXPECT_EQ(g_duplicates.size(), c.rows);
            for (const std::u16string& path : OpenedPaths())
                EXPECT_TRUE(fs.failFiles.count(path)) << "read again";
        }
}

TEST_F(DigestCacheTest, AFilledStoreReadWhileTheScanRunsAnswersThisSearchAndTheNextOnesOfTheProcess)
{
    // Enough files in enough folders for the store to be read in several batches while the scan
    // goes on: pairs of one size, equal or not, and files alone in their size; all of one time.
    const auto file = [&](int i) { return dir / Joined("tree/d", i % 60, "/f", i); };
    for (int i = 0; i < 3000; ++i) {
        const char fill = (i / 2) % 2 == 0 ? 'a' : i % 2 == 0 ? 'b' : 'c';
        WriteFile(file(i), std::string(i < 2800 ? 1500 + i / 2 : 100000 + i, fill));
        SetMtime(file(i), 1600000000);
    }
    const auto searchAsANewProcess = [&](CSqliteDigestStore& store) {
        ForgetDigestsInMemory();
        g_digestStore = &store;
        fs.opened.clear();
        Search({dir / "tree"});
        EXPECT_TRUE(store.Problem().empty()) << store.Problem();
    };
    CSqliteDigestStore first(StoreFile());
    searchAsANewProcess(first);
    const size_t rows = g_duplicates.size();
    ASSERT_EQ(rows, 700u);
    // A new process whose first search is stopped while the scan and the reading go on; its next
    // search reads the store again and no file.
    CSqliteDigestStore second(StoreFile());
    size_t folders = 0;
    sink.onMessage = [&](unsigned message) {
        if (message == WMU_SCANPROGRESS && ++folders == 30)
            g_stopFlag.store(1);
    };
    searchAsANewProcess(second);
    sink.onMessage = nullptr;
    EXPECT_LT(g_fileCount, 2000u) << "stopped during the scan";
    fs.opened.clear();
    Search({dir / "tree"});
    EXPECT_EQ(g_duplicates.size(), rows);
    EXPECT_TRUE(fs.opened.empty()) << "every digest came from the store";
    // The next search of the same process is answered by what the first one read, and a file
    // rewritten with its size and time is read again, and no other file.
    fs.opened.clear();
    Search({dir / "tree"});
    EXPECT_EQ(g_duplicates.size(), rows);
    EXPECT_TRUE(fs.opened.empty());
    WaitForChangeTimeToPass(file(2), dir / "probe");
    WriteFile(file(2), std::string(1501, 'c'));  // the content of f3, its size's other file
    SetMtime(file(2), 1600000000);
    fs.opened.clear();
    Search({dir / "tree"});
    EXPECT_EQ(OpenedPaths(), std::set<std::u16string>{U(file(2))});
    EXPECT_EQ(g_duplicates.size(), rows + 1);  // f2 and f3 are now a pair
}

TEST_F(DigestCacheTest, TwoProcessesSearchingAtOnceShareTheStore)
{
    // Two children search two trees at the same time with one store file; afterwards a search of
    // both in a third process reads no file content and the file is sound.
    for (const char* tree : {"one", "two"})
        for (int i = 0; i < 200; ++i)
            WriteFile(dir / Joined(tree, "/f", i), std::string(2000 + i % 20, 'a'));
    pid_t children[2];
    for (int n = 0; n < 2; ++n) {
        children[n] = fork();
        ASSERT_GE(children[n], 0);
        if (children[n] == 0) {
            bool ok = false;
            {
                CSqliteDigestStore store(StoreFile());
                g_digestStore = &store;
                Search({dir / (n == 0 ? "one" : "two")});
                if (!store.Problem().empty())
                    std::fprintf(stderr, "%s\n", store.Problem().c_str());
                ok = store.Problem().empty() && !g_duplicates.empty();
            }  // the store is closed, as at the end of a program
            _exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CSqliteDigestStore store(StoreFile());
    g_digestStore = &store;
    Search({dir / "one", dir / "two"});
    EXPECT_TRUE(store.Problem().empty()) << store.Problem();
    EXPECT_EQ(g_duplicates.size(), 380u);
    EXPECT_EQ(fs.bytesRead, 0u) << "every digest came from the store";
    EXPECT_EQ(Query(StoreFile(), "PRAGMA integrity_check"), "ok");
}

TEST_F(DigestCacheTest, AStoreThatCannotBeUsedIsLeftAsItIsAndTheSearchGoesOn)
{
    WriteFile(dir / "tree/a", "same");
    WriteFile(dir / "tree/b", "same");
    const auto makeWith = [&](const char* sql) {
        MakeDirs(dir / "cache");
        sqlite3* db = nullptr;
        sqlite3_open(StoreFile().c_str(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    struct Case {
        const char* name;
        std::function<void()> prepare;
    };
    const std::vector<Case> cases = {
        {"damaged", [&] { WriteFile(StoreFile(), RandomBytes(5000, 1)); }},
        {"a database of something else", [&] { makeWith("CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')"); }},
        {"made by a later version", [&] { makeWith("PRAGMA application_id=1363437927; PRAGMA user_version=5"); }},
        {"its folder's place taken by a file", [&] { WriteFile(dir / "cache", "a file"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(dir / "cache");
        c.prepare();
        const auto contents = [&] {
            struct stat st;
            return stat((dir / "cache").c_str(), &st) == 0 && S_ISREG(st.st_mode) ? ReadFile(dir / "cache")
                                                                                  : ReadFile(StoreFile());
        };
        const std::string before = contents();
        CSqliteDigestStore store(StoreFile());
        g_digestStore = &store;
        ForgetDigestsInMemory();
        Search({dir / "tree"});
        EXPECT_EQ(g_duplicates.size(), 1u);
        EXPECT_FALSE(store.Problem().empty());
        EXPECT_EQ(contents(), before) << "the file was touched";
        Search({dir / "tree"});
        EXPECT_EQ(g_duplicates.size(), 1u) << "and the next search too";
    }
}

TEST_F(DigestCacheTest, AStoreOfAVersionBeforeIsTakenOverAndThenAnswers)
{
    WriteFile(dir / "tree/a", "same");
    WriteFile(dir / "tree/b", "same");
    const std::string folder = dir / "tree";
    const std::vector<std::string> versions = {
        "CREATE TABLE digest(path BLOB, kind INTEGER, md5 BLOB); INSERT INTO digest VALUES('x', 0, 'y');"
        "PRAGMA application_id=1363437927; PRAGMA user_version=1",
        // A row per folder, its entries without the folder's section.
        "CREATE TABLE folder(path BLOB NOT NULL UNIQUE, used INTEGER NOT NULL, entries BLOB NOT NULL);"
        "INSERT INTO folder VALUES(CAST('" +
            folder +
            "' AS BLOB), 20000, zeroblob(80));"
            "PRAGMA application_id=1363437927; PRAGMA user_version=2",
    };
    for (const std::string& sql : versions) {
        SCOPED_TRACE(sql);
        RemoveTree(dir / "cache");
        MakeDirs(dir / "cache");
        sqlite3* db = nullptr;
        sqlite3_open(StoreFile().c_str(), &db);
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        // Two files of 4 bytes are read twice (quick and full digests), then nothing.
        for (const uint64_t read : {16u, 0u}) {
            CSqliteDigestStore store(StoreFile());
            g_digestStore = &store;
            ForgetDigestsInMemory();
            fs.bytesRead = 0;
            Search({dir / "tree"});
            EXPECT_TRUE(store.Problem().empty()) << store.Problem();
            EXPECT_EQ(g_duplicates.size(), 1u);
            EXPECT_EQ(fs.bytesRead, read);
        }
        EXPECT_EQ(Query(StoreFile(), "SELECT count(*) FROM sqlite_schema WHERE name='digest'"), "0");
    }
}

TEST_F(DigestCacheTest, AReadOnlyCacheFolderLeavesTheSearchWithoutAStore)
{
    WriteFile(dir / "tree/a", "same");
    WriteFile(dir / "tree/b", "same");
    MakeDirs(dir / "cache");
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "tree").c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "cache").c_str(), 0555), 0);
    const int status = RunUnprivileged([&] {
        CSqliteDigestStore store(StoreFile());
        g_digestStore = &store;
        g_fileSystem = &CPosixFileSystem::Instance();
        BeginSearchRun(0, 0);
        SearchThreadProc(nullptr, {U(dir / "tree")});
        return (g_duplicates.size() == 1 ? 0 : 1) + (store.Problem().empty() ? 2 : 0);
    });
    EXPECT_EQ(status, 0) << "1: the rows were lost; 2: no problem was told";
    EXPECT_EQ(access(StoreFile().c_str(), F_OK), -1);
}

TEST_F(DigestCacheTest, EntriesUnusedForNinetyDaysAreDropped)
{
    // Both folders are digested on one day, and one file of "kept" is deleted; "kept" alone is
    // searched again 60 days later. Ninety days after the first search only the entries of "kept"
    // still in use are left: "left" is read again, "kept" is not, and the deleted file's entry is gone.
    for (const char* folder : {"kept", "left"})
        for (const char* name : {"/a", "/b", "/gone"})
            WriteFile(dir / (std::string(folder) + name), folder);
    const int64_t day = 20000;
    const auto searchOn = [&](int64_t today, const std::vector<std::string>& folders) {
        CSqliteDigestStore store(StoreFile());
        store.SetToday(today);
        g_digestStore = &store;
        ForgetDigestsInMemory();
        fs.bytesRead = 0;
        Search(folders);
        return fs.bytesRead.load();
    };
    searchOn(day, {dir / "kept", dir / "left"});
    ASSERT_EQ(std::remove((dir / "kept/gone").c_str()), 0);
    searchOn(day + 60, {dir / "kept"});
    EXPECT_EQ(searchOn(day + CSqliteDigestStore::kKeepDays + 1, {dir / "kept"}), 0u);
    EXPECT_EQ(Query(StoreFile(), "SELECT count(*) FROM folder"), "1");
    EXPECT_EQ(Query(StoreFile(), "SELECT instr(entries, CAST('gone' AS BLOB)) FROM folder"), "0");
    EXPECT_GT(searchOn(day + CSqliteDigestStore::kKeepDays + 2, {dir / "left"}), 0u);
}

TEST_F(DigestCacheTest, TheStoreAnswersFoldersSearchedApartFromEntriesOfOthersLyingBetweenThem)
{
    // The store holds three folders; a new process searches the first and the last: the entries of
    // the middle one lie between theirs in the store's order and must not hide any of them.
    for (const char* folder : {"1", "2", "3"})
        for (int i = 0; i < 100; ++i)
            WriteFile(dir / Joined(folder, "/f", i), std::string(1000 + i % 10, 'a'));
    CSqliteDigestStore store(StoreFile());
    g_digestStore = &store;
    Search({dir / "1", dir / "2", dir / "3"});
    ForgetDigestsInMemory();
    CSqliteDigestStore again(StoreFile());
    g_digestStore = &again;
    fs.bytesRead = 0;
    Search({dir / "1", dir / "3"});
    EXPECT_EQ(g_duplicates.size(), 190u);
    EXPECT_EQ(fs.bytesRead, 0u) << "every digest came from the store";
}

TEST_F(DigestCacheTest, FoldersSavedAmongTheRowsOfEarlierSearchesAreAllAnsweredLater)
{
    // A row of the store holds a stretch of folders. The even folders are searched first, which
    // fills rows; a second process searches the odd ones, which fall inside those rows, between
    // them and after the last; a third searches all of them, and every digest comes from the store.
    // One folder's entries are rewritten on the way (a file rewritten with the same size). Every
    // third folder's names are not ASCII, some not even UTF-8: they are stored as their bytes.
    constexpr int kFolders = 300;
    const auto folder = [&](int i) { return dir / Joined("tree/f", 1000 + i); };
    for (int i = 0; i < kFolders; ++i)
        for (const char* name :
             i % 3 == 0 ? std::vector<const char*>{"/a\xff", "/b\xc3\xa9"} : std::vector<const char*>{"/a", "/b"})
            WriteFile(folder(i) + name, Joined("content of folder ", 1000 + i, std::string(60, 'x')));
    const auto searchIn = [&](const std::vector<std::string>& folders) {
        CSqliteDigestStore store(StoreFile());
        g_digestStore = &store;
        ForgetDigestsInMemory();
        fs.bytesRead = 0;
        Search(folders);
        EXPECT_TRUE(store.Problem().empty()) << store.Problem();
        return fs.bytesRead.load();
    };
    std::vector<std::string> even, odd, all;
    for (int i = 0; i < kFolders; ++i) {
        (i % 2 == 0 ? even : odd).push_back(folder(i));
        all.push_back(folder(i));
    }
    odd.push_back(dir / "tree/f2000");  // after every folder stored
    WriteFile(dir / "tree/f2000/a", "after");
    WriteFile(dir / "tree/f2000/b", "after");
    searchIn(even);
    const int rows = std::stoi(Query(StoreFile(), "SELECT count(*) FROM folder"));
    EXPECT_GT(rows, 1);
    EXPECT_LT(rows, kFolders / 4) << "a row per stretch of folders";
    EXPECT_GT(searchIn(odd), 0u);
    EXPECT_EQ(searchIn(even), 0u);
    WaitForChangeTimeToPass(folder(11) + "/a", dir / "probe");
    WriteFile(folder(11) + "/a", Joined("content of folder ", 9999, std::string(60, 'x')));
    EXPECT_GT(searchIn(all), 0u);
    all.push_back(dir / "tree/f2000");
    EXPECT_EQ(searchIn(all), 0u);
    EXPECT_EQ(g_duplicates.size(), static_cast<size_t>(kFolders));
}

TEST_F(DigestCacheTest, AStoreSavesExactlyTheFilesItIsGiven)
{
    // Files of one folder, of two folders, and of one folder under two listings: each digest is
    // stored under its own name, and nothing else.
    const CPathString a(u"/t/x/a"), b(u"/t/x/b"), c(u"/t/x/c"), d(u"/t/y/d");
    std::vector<CFileRecord> records(4);
    const CPathString* paths[] = {&a, &b, &c, &d};
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].path = *paths[i];
        records[i].size = 10 + i;
        const std::string content = Joined("content ", i);
        records[i].digest = CMd5::Of(content.data(), content.size());
    }
    const auto learned = [&](std::initializer_list<std::pair<size_t, uint32_t>> files) {
        std::vector<IDigestStore::Learned> list;
        for (const auto& [i, folder] : files)
            list.push_back({paths[i], folder, {&records[i], nullptr}});
        return list;
    };
    const std::vector<IDigestStore::Learned> cases[] = {
        learned({{0, 1}, {2, 1}}),
        learned({{0, 1}, {1, 1}, {3, 2}}),
        learned({{0, 1}, {3, 3}}),
        learned({{0, 1}, {2, 4}}),
    };
    int round = 0;
    for (const auto& saved : cases) {
        SCOPED_TRACE(++round);
        const std::string file = dir / Joined("save", round, ".sqlite");
        {
            CSqliteDigestStore store(file);
            store.Save(saved);
            ASSERT_TRUE(store.Problem().empty()) << store.Problem();
        }
        CSqliteDigestStore store(file);
        std::vector<IDigestStore::Wanted> wanted;
        for (const CPathString* path : paths)
            wanted.push_back({path->view(), 0});
        std::vector<IDigestStore::Found> found;
        store.Load(kBothKinds, wanted, found);
        std::set<size_t> stored;
        for (const IDigestStore::Found& entry : found) {
            EXPECT_EQ(entry.entry.digest, records[entry.wanted].digest);
            EXPECT_EQ(entry.entry.size, records[entry.wanted].size);
            stored.insert(entry.wanted);
        }
        std::set<size_t> given;
        for (const IDigestStore::Learned& one : saved)
            given.insert(static_cast<size_t>(std::find(std::begin(paths), std::end(paths), one.path) - std::begin(paths)));
        EXPECT_EQ(stored, given);
    }
}

TEST_F(DigestCacheTest, AFileRewrittenInTheSecondItWasDigestedInIsReadAgainByLaterSearches)
{
    // On a file system with 1-second times, a file rewritten with its size in the second of its
    // digest keeps every field of its state: only a digest taken safely after its last change may
    // answer for it later, from memory or from the store.
    fs.wholeSecondTimes = true;
    for (const bool fromDisk : {false, true}) {
        SCOPED_TRACE(fromDisk ? "from the store" : "from memory");
        ResetEngine();
        g_fileSystem = &fs;
        TempDir tree;
        CSqliteDigestStore store(tree / "cache/digests.sqlite");
        if (fromDisk)
            g_digestStore = &store;
        // Everything happens within one second of the clock.
        const auto second = [] { return WallClockNow() / 1000000000; };
        for (const uint64_t start = second(); second() == start;)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const uint64_t within = second();
        WriteFile(tree / "a", std::string(3000, 'a'));
        WriteFile(tree / "b", std::string(3000, 'a'));
        Search({tree.Path()});
        ASSERT_EQ(g_duplicates.size(), 1u);
        WriteFile(tree / "b", std::string(3000, 'b'));
        ASSERT_EQ(second(), within) << "the machine was too slow to show it";
        if (fromDisk) {
            ForgetDigestsInMemory();
            CSqliteDigestStore again(tree / "cache/digests.sqlite");
            g_digestStore = &again;
            Search({tree.Path()});
        } else {
            Search({tree.Path()});
        }
        EXPECT_TRUE(g_duplicates.empty()) << "a digest of the old content answered";
    }
}

TEST_F(DigestCacheTest, AStoreIsUsedOnlyInAFolderOfTheUsersOwnThatNobodyElseCanWriteAndNeverThroughALink)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make folders of another user";
    WritePairForNobody();
    MakeDirs(dir / "elsewhere");
    ASSERT_EQ(chown((dir / "elsewhere").c_str(), 65534, 65534), 0);
    struct Case {
        const char* name;
        mode_t mode;
        uid_t owner;
        bool link;
        const char* problem;
    };
    const Case cases[] = {
        {"a folder of another user", 0755, 0, false, "belongs to another user"},
        {"a folder others can write", 0777, 65534, false, "can be written by other users"},
        {"a folder its group can write", 0770, 65534, false, "can be written by other users"},
        {"a link at the store's name", 0700, 65534, true, "it is a symbolic link, not followed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(dir / "cache");
        MakeDirs(dir / "cache");
        ASSERT_EQ(chown((dir / "cache").c_str(), c.owner, 65534), 0);
        ASSERT_EQ(chmod((dir / "cache").c_str(), c.mode), 0);
        if (c.link) {
            ASSERT_EQ(symlink((dir / "elsewhere/target").c_str(), StoreFile().c_str()), 0);
        }
        const int status = SearchAsNobody([&](const CSqliteDigestStore& store) {
            const bool told = store.Problem().find(c.problem) != std::string::npos &&
                store.Problem().find("; searching without it") != std::string::npos;
            return (g_duplicates.size() == 1 ? 0 : 1) + (told ? 0 : 2);
        });
        EXPECT_EQ(status, 0) << "1: the rows were lost; 2: the reason was not told";
        struct stat st;
        EXPECT_EQ(lstat((dir / "elsewhere/target").c_str(), &st), -1) << "the link was followed";
        EXPECT_EQ(access((dir / "cache/digests.sqlite-wal").c_str(), F_OK), -1);
        if (!c.link) {
            EXPECT_EQ(access(StoreFile().c_str(), F_OK), -1) << "the store was made there";
        }
    }
}

TEST_F(DigestCacheTest, AStoreThatCannotBeWrittenIsReadAndLeavesNothingThatBlocksALaterWrite)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to search as another user";
    WritePairForNobody();
    MakeDirs(dir / "cache");
    ASSERT_EQ(chown((dir / "cache").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod((dir / "cache").c_str(), 0700), 0);
    // Each search runs as "nobody" in a process of its own; 0 when it found the row, read no file
    // content when `fromStore`, and told no problem.
    const auto search = [&](bool fromStore) {
        return SearchAsNobody([&](const CSqliteDigestStore& store) {
            if (!store.Problem().empty())
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
            return (g_duplicates.size() == 1 ? 0 : 1) + (store.Problem().empty() ? 0 : 2) +
                (!fromStore || fs.bytesRead == 0 ? 0 : 4);
        });
    };
    LetFilesAge();
    ASSERT_EQ(search(false), 0);
    ASSERT_EQ(access((dir / "cache/digests.sqlite-wal").c_str(), F_OK), -1) << "the store was not closed";
    const std::set<std::string> files = {"digests.sqlite"};
    const auto filesInCache = [&] {
        std::set<std::string> names;
        for (const std::string name : {"digests.sqlite", "digests.sqlite-wal", "digests.sqlite-shm", "digests.sqlite-journal"})
            if (access((dir / "cache/" + name).c_str(), F_OK) == 0)
                names.insert(name);
        return names;
    };
    // A folder that cannot be written, then a store file that cannot be written.
    ASSERT_EQ(chmod((dir / "cache").c_str(), 0500), 0);
    EXPECT_EQ(search(true), 0) << "in a folder that cannot be written";
    EXPECT_EQ(filesInCache(), files);
    ASSERT_EQ(chmod((dir / "cache").c_str(), 0700), 0);
    ASSERT_EQ(chmod(StoreFile().c_str(), 0444), 0);
    EXPECT_EQ(search(true), 0) << "a store file that cannot be written";
    EXPECT_EQ(filesInCache(), files) << "something was left behind";
    // Writable again: a new file's digests are kept.
    ASSERT_EQ(chmod(StoreFile().c_str(), 0644), 0);
    WriteFile(dir / "tree/c", "more");
    WriteFile(dir / "tree/d", "more");
    ASSERT_EQ(chmod((dir / "tree/c").c_str(), 0644), 0);
    ASSERT_EQ(chmod((dir / "tree/d").c_str(), 0644), 0);
    LetFilesAge();
    EXPECT_EQ(SearchAsNobody(
                  [](const CSqliteDigestStore& store) { return g_duplicates.size() == 2 && store.Problem().empty() ? 0 : 1; }),
              0);
    EXPECT_EQ(Query(StoreFile(), "SELECT instr(entries, CAST('d' AS BLOB)) > 0 FROM folder"), "1") << "not written";
}

TEST_F(DigestCacheTest, ALockedStoreSaysSoAndThatTheSearchsDigestsWereNotKept)
{
    WriteFile(dir / "tree/a", "same");
    WriteFile(dir / "tree/b", "same");
    {
        CSqliteDigestStore store(StoreFile());
        g_digestStore = &store;
        Search({dir / "tree"});
    }
    WriteFile(dir / "tree/c", "more");
    WriteFile(dir / "tree/d", "more");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(StoreFile().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    CSqliteDigestStore store(StoreFile());
    g_digestStore = &store;
    Search({dir / "tree"});
    EXPECT_EQ(g_duplicates.size(), 2u);
    EXPECT_EQ(store.Problem(),
              "digest cache " + StoreFile() +
                  ": cannot be written (database is locked); the digests of this search were not kept");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}
