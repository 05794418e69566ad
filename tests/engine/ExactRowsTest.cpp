#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <utility>

#include "engine/Md5.h"
#include "engine/SqliteDigestStore.h"
#include "engine/StoreCodec.h"
#include "platform/NativeName.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

// The public MD5 collision of 2004: two 128-byte blocks of equal MD5. Any suffix appended to both
// keeps their MD5 equal, and their size and first KiB's MD5 with it.
std::string FromHex(const char* hex)
{
    std::string bytes;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return bytes;
}
const std::string kBlockA =
    FromHex("d131dd02c5e6eec4693d9a0698aff95c2fcab58712467eab4004583eb8fb7f8955ad340609f4b30283e488832571415a"
            "085125e8f7cdc99fd91dbdf280373c5bd8823e3156348f5bae6dacd436c919c6dd53e2b487da03fd02396306d248cda0"
            "e99f33420f577ee8ce54b67080a80d1ec69821bcb6a8839396f9652b6ff72a70");
const std::string kBlockB =
    FromHex("d131dd02c5e6eec4693d9a0698aff95c2fcab50712467eab4004583eb8fb7f8955ad340609f4b30283e4888325f1415a"
            "085125e8f7cdc99fd91dbd7280373c5bd8823e3156348f5bae6dacd436c919c6dd53e23487da03fd02396306d248cda0"
            "e99f33420f577ee8ce54b67080280d1ec69821bcb6a8839396f965ab6ff72a70");

using Pairs = std::set<std::pair<std::u16string, std::u16string>>;

class ExactRowsTest : public EngineTest {
protected:
    std::string StoreFile() const { return dir / "cache/digests.sqlite"; }
    static void ForgetDigestsInMemory()
    {
        g_quickDigestCache.clear();
        g_fullDigestCache.clear();
    }
    // The rows, each as its two paths in order, whichever is the original.
    static Pairs Rows()
    {
        Pairs rows;
        for (const CDuplicatePair& row : g_duplicates)
            rows.insert(std::minmax(row.originalPath.str(), row.duplicatePath.str()));
        return rows;
    }
    // In `tree`, A + suffix twice and B + suffix once or twice: the rows the search must make.
    Pairs WriteCollidingTree(const std::string& tree, size_t suffixBytes, bool bHasACopy)
    {
        const std::string suffix = RandomBytes(suffixBytes, 7);
        EXPECT_EQ(CMd5::Of((kBlockA + suffix).data(), kBlockA.size() + suffix.size()),
                  CMd5::Of((kBlockB + suffix).data(), kBlockB.size() + suffix.size()));
        WriteFile(tree + "/a", kBlockA + suffix);
        WriteFile(tree + "/x/a-copy", kBlockA + suffix);
        WriteFile(tree + "/b", kBlockB + suffix);
        const auto pair = [](const std::u16string& a, const std::u16string& b) { return std::minmax(a, b); };
        Pairs rows = {pair(U(tree + "/a"), U(tree + "/x/a-copy"))};
        if (bHasACopy) {
            WriteFile(tree + "/y/b-copy", kBlockB + suffix);
            rows.insert(pair(U(tree + "/b"), U(tree + "/y/b-copy")));
        }
        LetFilesAge();
        return rows;
    }
};

// Suffixes that leave the files below, at and above the first KiB, and above one read step.
struct Collision {
    size_t suffix;
    bool bHasACopy;
};
const Collision kCollisions[] = {{0, true}, {500, false}, {896, true}, {3000, false}, {3000, true}, {70000, true}};

}  // namespace

TEST_F(ExactRowsTest, FilesOfEqualMd5ButOtherBytesNeverFormARowAndTheirCopiesStillDo)
{
    for (const Collision& c : kCollisions) {
        SCOPED_TRACE(c.suffix);
        const std::string tree = dir / Joined("tree", c.suffix, c.bHasACopy ? "b" : "");
        const Pairs expected = WriteCollidingTree(tree, c.suffix, c.bHasACopy);
        ForgetDigestsInMemory();
        Search({tree});
        EXPECT_EQ(Rows(), expected);
        fs.bytesRead = 0;
        Search({tree});
        EXPECT_EQ(Rows(), expected) << "answered from memory";
        EXPECT_EQ(fs.bytesRead, 0u);
    }
}

TEST_F(ExactRowsTest, AStoreFilledByAnEarlierProcessAnswersExactlyWithoutReading)
{
    for (const Collision& c : kCollisions) {
        SCOPED_TRACE(c.suffix);
        const std::string tree = dir / Joined("tree", c.suffix, c.bHasACopy ? "b" : "");
        const Pairs expected = WriteCollidingTree(tree, c.suffix, c.bHasACopy);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = false;
            {
                CSqliteDigestStore store(StoreFile());
                g_digestStore = &store;
                ForgetDigestsInMemory();
                Search({tree});
                ok = store.Problem().empty() && Rows() == expected;
            }
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        CSqliteDigestStore store(StoreFile());
        g_digestStore = &store;
        ForgetDigestsInMemory();
        fs.bytesRead = 0;
        Search({tree});
        EXPECT_TRUE(store.Problem().empty()) << store.Problem();
        EXPECT_EQ(Rows(), expected);
        EXPECT_EQ(fs.bytesRead, 0u) << "every digest came from the store";
    }
}

TEST_F(ExactRowsTest, AStoreOfTheVersionBeforeWithMd5AloneIsTakenOverAndAnswersExactly)
{
    // The version before kept the full MD5 alone: its entries would make the colliding files a row.
    const std::string tree = dir / "tree";
    const Pairs expected = WriteCollidingTree(tree, 3000, false);
    std::string blob;
    const size_t section = BeginSection(blob, tree);
    const std::string content = kBlockA + RandomBytes(3000, 7);  // its MD5s are those of B's file too
    const Md5Digest quick = CMd5::Of(content.data(), 1024);
    const Md5Digest full = CMd5::Of(content.data(), content.size());
    for (const char* name : {"a", "b"}) {
        struct stat st;
        ASSERT_EQ(lstat((tree + "/" + name).c_str(), &st), 0);
        const FileState state = FileStateOf(st);
        blob += '\x03';
        blob += static_cast<char>(1);
        blob += '\0';
        blob += name;
        char numbers[44];
        char* at = numbers;
        for (const uint64_t n : {state.identity.device, state.identity.inode, state.size, state.lastWrite, state.changeTime})
            at = PutNumber<8>(at, n);
        PutNumber<4>(at, 20000);
        blob.append(numbers, sizeof(numbers));
        blob.append(reinterpret_cast<const char*>(quick.data()), quick.size());
        blob.append(reinterpret_cast<const char*>(full.data()), full.size());
    }
    ASSERT_TRUE(EndSection(blob, section));
    MakeDirs(dir / "cache");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(StoreFile().c_str(), &db), SQLITE_OK);
    const std::string sql = "CREATE TABLE folder(path BLOB NOT NULL UNIQUE, used INTEGER NOT NULL, entries BLOB NOT NULL);"
                            "PRAGMA application_id=1363437927; PRAGMA user_version=3;";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO folder VALUES(?1, 20000, ?2)", -1, &insert, nullptr), SQLITE_OK);
    sqlite3_bind_blob(insert, 1, tree.data(), static_cast<int>(tree.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    for (const bool read : {true, false}) {
        CSqliteDigestStore store(StoreFile());
        store.SetToday(20000);
        g_digestStore = &store;
        ForgetDigestsInMemory();
        fs.bytesRead = 0;
        Search({tree});
        EXPECT_TRUE(store.Problem().empty()) << store.Problem();
        EXPECT_EQ(Rows(), expected);
        EXPECT_EQ(fs.bytesRead != 0, read);
    }
}
