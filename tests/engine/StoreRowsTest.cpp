#include <gtest/gtest.h>

#include <sqlite3.h>

#include <set>
#include <string>

#include "engine/SqliteDigestStore.h"
#include "engine/StoreCodec.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

class StoreRowsTest : public EngineTest {
protected:
    std::string StoreFile() const { return dir / "cache/digests.sqlite"; }
    static void ForgetDigestsInMemory()
    {
        g_quickDigestCache.clear();
        g_fullDigestCache.clear();
    }
    // Two folders of two pairs each (one of them with its files' digests in two entries' worth of
    // kinds), searched once through a store: one row holds them.
    void FillStore()
    {
        for (const char* folder : {"one", "two"}) {
            WriteFile(dir / Joined("tree/", folder, "/a"), std::string(3000, folder[0]));
            WriteFile(dir / Joined("tree/", folder, "/b"), std::string(3000, folder[0]));
            WriteFile(dir / Joined("tree/", folder, "/c"), std::string(5000, folder[1]));
            WriteFile(dir / Joined("tree/", folder, "/d"), std::string(5000, folder[1]));
        }
        LetFilesAge();
        CSqliteDigestStore store(StoreFile());
        g_digestStore = &store;
        Search({dir / "tree"});
        ASSERT_EQ(g_duplicates.size(), 4u);
        g_digestStore = nullptr;
    }
    // The store's only row.
    std::pair<std::string, std::string> ReadRow() const
    {
        std::pair<std::string, std::string> row;
        sqlite3* db = nullptr;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_open(StoreFile().c_str(), &db);
        sqlite3_prepare_v2(db, "SELECT path, entries FROM folder", -1, &stmt, nullptr);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        row.first.assign(static_cast<const char*>(sqlite3_column_blob(stmt, 0)), sqlite3_column_bytes(stmt, 0));
        row.second.assign(static_cast<const char*>(sqlite3_column_blob(stmt, 1)), sqlite3_column_bytes(stmt, 1));
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE) << "one row";
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return row;
    }
    void WriteRow(const std::string& oldKey, const std::string& key, const std::string& blob) const
    {
        sqlite3* db = nullptr;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_open(StoreFile().c_str(), &db);
        sqlite3_prepare_v2(db, "UPDATE folder SET path=?2, entries=?3 WHERE path=?1", -1, &stmt, nullptr);
        sqlite3_bind_blob(stmt, 1, oldKey.data(), static_cast<int>(oldKey.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(stmt, 2, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(stmt, 3, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
};

// Where a part of the row lies: the offset of a byte in the blob (or in the key).
struct Part {
    const char* name;
    bool inKey;
    size_t (*offset)(const std::string& blob);
};
// The offset of the first entry of the last section (the folder "two") in a sealed blob.
size_t LastSectionEntry(const std::string& blob)
{
    std::vector<StoredSection> sections;
    const std::string_view key = std::string_view(blob).substr(4, GetNumber(blob.data(), 4));
    EXPECT_TRUE(ParseSections(key, std::string_view(blob).substr(0, blob.size() - 4), sections));
    return static_cast<size_t>(sections.back().entries.data() - blob.data());
}
// The offset of a byte `afterName` bytes after the name of that entry.
size_t EntryPart(const std::string& blob, size_t afterName)
{
    const size_t entry = LastSectionEntry(blob);
    return entry + 3 + GetNumber(blob.data() + entry + 1, 2) + afterName;
}
const Part kParts[] = {
    {"the row's key", true, [](const std::string&) { return size_t{3}; }},
    {"a folder's name", false, [](const std::string& blob) { return 4 + GetNumber(blob.data(), 4) - 1; }},
    {"an entry's name", false, [](const std::string& blob) { return EntryPart(blob, 0) - 1; }},
    {"an entry's inode", false, [](const std::string& blob) { return EntryPart(blob, 8); }},
    {"an entry's change time", false, [](const std::string& blob) { return EntryPart(blob, 32); }},
    {"a quick digest", false, [](const std::string& blob) { return EntryPart(blob, 44); }},
    {"a full digest", false, [](const std::string& blob) { return EntryPart(blob, 60); }},
    {"a SHA-256", false, [](const std::string& blob) { return EntryPart(blob, 76 + 31); }},
    {"the checksum", false, [](const std::string& blob) { return blob.size() - 1; }},
};

}  // namespace

TEST_F(StoreRowsTest, ARowWithOneByteChangedIsReadAsAbsentAndWrittenAnew)
{
    for (const Part& part : kParts) {
        SCOPED_TRACE(part.name);
        RemoveTree(dir.Path());
        MakeDirs(dir.Path());
        ForgetDigestsInMemory();
        FillStore();
        auto [key, blob] = ReadRow();
        std::string changedKey = key;
        (part.inKey ? changedKey : blob)[part.offset(blob)] ^= 0x20;
        WriteRow(key, changedKey, blob);
        for (const bool read : {true, false}) {
            CSqliteDigestStore store(StoreFile());
            g_digestStore = &store;
            ForgetDigestsInMemory();
            fs.bytesRead = 0;
            Search({dir / "tree"});
            EXPECT_TRUE(store.Problem().empty()) << store.Problem();
            EXPECT_EQ(g_duplicates.size(), 4u);
            EXPECT_EQ(fs.bytesRead != 0, read) << (read ? "the damaged row answered" : "the row was not written anew");
        }
    }
}

TEST_F(StoreRowsTest, ALoadThatFailsPartWayGivesNothing)
{
    // The row's second section is damaged under a checksum that matches: the first section was
    // read before the failure was found.
    FillStore();
    auto [key, blob] = ReadRow();
    blob[LastSectionEntry(blob)] = 0;  // the entry's kinds: none, which no entry has
    blob.resize(blob.size() - 4);
    SealRow(key, blob);
    WriteRow(key, key, blob);
    CSqliteDigestStore store(StoreFile());
    std::vector<std::u16string> paths;
    std::vector<IDigestStore::Wanted> wanted;
    for (const char* name : {"one/a", "one/b", "two/a", "two/b"})
        paths.push_back(U(dir / "tree/" + name));
    for (const std::u16string& path : paths)
        wanted.push_back({path, 0});
    std::vector<IDigestStore::Found> found;
    store.Load(kBothKinds, wanted, found);
    EXPECT_EQ(store.Problem(),
              "digest cache " + StoreFile() +
                  ": unreadable, left as it is (a row's entries are damaged); the rest of this search went without it");
    EXPECT_TRUE(found.empty()) << found.size() << " entries kept from before the failure";
}
