#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "engine/FolderScan.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/EngineHelpers.h"

using namespace quillon::test;

namespace {

// A file system made of listings given in a fixed order, so that the walk order can be checked.
class ScriptedFileSystem : public IFileSystem {
public:
    struct Item {
        std::u16string name;
        bool folder;
        uint64_t size;
    };
    std::map<std::u16string, std::vector<Item>> folders;
    std::vector<std::u16string> listed;

    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        listed.emplace_back(path);
        const auto found = folders.find(std::u16string(path));
        if (found == folders.end())
            return nullptr;
        return std::make_unique<Listing>(found->second, folderIds++);
    }
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view) override { return nullptr; }

private:
    class Listing : public IDirListing {
    public:
        Listing(const std::vector<Item>& items, uint64_t id) : m_items(items), m_id(id) {}
        FileIdentity Identity() const override { return {1, m_id}; }
        bool Next(DirEntry& entry) override
        {
            if (m_next == m_items.size())
                return false;
            const Item& item = m_items[m_next++];
            entry.name = item.name;
            entry.isFolder = item.folder;
            entry.isFile = !item.folder;
            entry.size = item.size;
            entry.lastWrite = 1;
            entry.identity = {2, m_id * 1000 + m_next};
            return true;
        }

    private:
        const std::vector<Item>& m_items;
        uint64_t m_id;
        size_t m_next = 0;
    };
    uint64_t folderIds = 1;
};

class FolderScanTest : public EngineTest {
protected:
    // Files of 0, 1, 1023, 1024 and 1025 bytes in one folder.
    void MakeSizeTree()
    {
        for (size_t size : {0, 1, 1023, 1024, 1025})
            WriteFile(dir / Joined("f", size), std::string(size, 'x'));
    }
    std::set<uint64_t> ListedSizes(uint64_t fromKB, uint64_t toKB)
    {
        g_fileList.clear();
        SetSizeBounds(fromKB, toKB);
        ScanFolder(U(dir.Path()), &sink);
        std::set<uint64_t> sizes;
        for (const CFileRecord& record : g_fileList)
            sizes.insert(record.size);
        return sizes;
    }
};

}  // namespace

TEST_F(FolderScanTest, SizeBoundsAreStrictOnBothEnds)
{
    MakeSizeTree();
    EXPECT_EQ(ListedSizes(0, 0), (std::set<uint64_t>{1, 1023, 1024, 1025})) << "no bounds: every non-empty file";
    EXPECT_EQ(ListedSizes(1, 0), (std::set<uint64_t>{1025}));
    EXPECT_EQ(ListedSizes(0, 1), (std::set<uint64_t>{1, 1023}));
    EXPECT_EQ(ListedSizes(1, 1), std::set<uint64_t>{}) << "lower equal to upper";
    EXPECT_EQ(ListedSizes(2, 1), std::set<uint64_t>{}) << "lower above upper";
}

TEST_F(FolderScanTest, KilobyteBoundsLoseTheirHighBitsAndAZeroUpperMeansNoBound)
{
    SetSizeBounds(3, 0);
    EXPECT_EQ(g_minSize, 3072u);
    EXPECT_EQ(g_maxSize, UINT64_MAX);
    SetSizeBounds(1ULL << 54, 1ULL << 54);
    EXPECT_EQ(g_minSize, 0u) << "2^54 KB shifted by 10 bits overflows to 0";
    EXPECT_EQ(g_maxSize, UINT64_MAX);
    SetSizeBounds(0, (1ULL << 54) + 1);
    EXPECT_EQ(g_maxSize, 1024u);
}

TEST_F(FolderScanTest, TrailingSeparatorOrNotGivesTheSamePaths)
{
    WriteFile(dir / "a/b/file", "1");
    ScanFolder(U(dir.Path()), &sink);
    const auto without = ListedPaths();
    g_fileList.clear();
    ScanFolder(U(dir.Path() + "/"), &sink);
    EXPECT_EQ(ListedPaths(), without);
    ASSERT_EQ(without.size(), 1u);
    EXPECT_EQ(without[0], U(dir / "a/b/file"));
}

TEST_F(FolderScanTest, WalkIsDepthFirstInListingOrderAndTheRootKeepsOneSeparator)
{
    ScriptedFileSystem scripted;
    scripted.folders[u"/"] = {{u"z", false, 5}, {u"sub", true, 0}, {u"a", false, 6}};
    scripted.folders[u"/sub"] = {{u"inner", false, 7}, {u"deeper", true, 0}};
    scripted.folders[u"/sub/deeper"] = {};
    g_fileSystem = &scripted;
    ScanFolder(u"/", &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{u"/z", u"/sub/inner", u"/a"}));
    EXPECT_EQ(scripted.listed, (std::vector<std::u16string>{u"/", u"/sub", u"/sub/deeper"}));
    EXPECT_EQ(sink.Count(WMU_SCANPROGRESS), 3u) << "one message per folder entered, empty ones too";
}

TEST_F(FolderScanTest, EveryFolderEnteredSendsProgressBeforeItIsOpenedEvenIfItCannotBeListed)
{
    MakeDirs(dir / "empty");
    MakeDirs(dir / "only/sub/folders");
    MakeDirs(dir / "locked");
    fs.failFolders.insert(U(dir / "locked"));
    size_t openedAtMessage = 0;
    sink.onMessage = [&](unsigned) { openedAtMessage = fs.foldersOpened; };
    ScanFolder(U(dir.Path()), &sink);
    EXPECT_TRUE(g_fileList.empty());
    EXPECT_EQ(sink.Count(WMU_SCANPROGRESS), 6u);  // root, empty, only, only/sub, only/sub/folders, locked
    EXPECT_EQ(fs.foldersOpened, 6u);
    EXPECT_EQ(openedAtMessage, 5u) << "the last message came before the last folder was opened";
}

TEST_F(FolderScanTest, SearchFoldersAreWalkedInOrderWithFileCountSnapshots)
{
    WriteFile(dir / "one/a", "1");
    WriteFile(dir / "one/b", "2");
    WriteFile(dir / "two/c", "3");
    std::vector<uint32_t> countsSeen;
    sink.onMessage = [&](unsigned) { countsSeen.push_back(g_fileCount); };
    ScanSearchFolders({U(dir / "two"), U(dir / "one"), U(dir / "two")}, &sink);
    EXPECT_EQ(g_fileList.size(), 4u) << "a folder given twice is walked twice";
    EXPECT_EQ(g_fileList.front().path, U(dir / "two/c"));
    EXPECT_EQ(countsSeen, (std::vector<uint32_t>{0, 1, 3, 4})) << "entries of each walk, then the final message";
    EXPECT_EQ(g_fileCount, 4u);
}

TEST_F(FolderScanTest, NoSearchFoldersStillSendsTheFinalProgress)
{
    ScanSearchFolders({}, &sink);
    EXPECT_EQ(sink.messages, (std::vector<unsigned>{WMU_SCANPROGRESS}));
    EXPECT_EQ(g_fileCount, 0u);
}

TEST_F(FolderScanTest, StopEndsEveryOpenLevelButEachTopLevelFolderIsStillEntered)
{
    for (const char* folder : {"one", "two", "three"})
        for (int i = 0; i < 5; ++i)
            WriteFile(dir / Joined(folder, "/sub/f", i), "x");
    sink.onMessage = [&](unsigned) {
        if (sink.messages.size() == 2)  // entering one/sub
            g_stopFlag.fetch_add(1);
    };
    ScanSearchFolders({U(dir / "one"), U(dir / "two"), U(dir / "three")}, &sink);
    EXPECT_TRUE(g_fileList.empty());
    EXPECT_EQ(sink.Count(WMU_SCANPROGRESS), 5u) << "one, one/sub, two, three, and the final message";
    EXPECT_EQ(fs.foldersOpened, 4u);
}

TEST_F(FolderScanTest, SpecialFilesAndLinksToFilesNeverBecomeRecords)
{
    WriteFile(dir / "plain", "data");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink("plain", (dir / "link").c_str()), 0);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    (dir / "sock").copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    ScanFolder(U(dir.Path()), &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{U(dir / "plain")}));
    EXPECT_TRUE(fs.opened.empty()) << "the scan opens no file";
}

TEST_F(FolderScanTest, LinkCyclesEndAndAFolderIsWalkedThroughALinkOnlyIfTheRunHasNotWalkedIt)
{
    WriteFile(dir / "x/file", "1");
    ASSERT_EQ(symlink("..", (dir / "x/up").c_str()), 0);   // back to the top: a cycle
    ASSERT_EQ(symlink(".", (dir / "x/self").c_str()), 0);  // to itself: a cycle
    MakeDirs(dir / "y");
    ASSERT_EQ(symlink("../x", (dir / "y/to-x").c_str()), 0);  // a second way into x
    // Whichever search folder holds the link, the folder is walked as itself, and the link then
    // finds it walked.
    ScanSearchFolders({U(dir / "y"), U(dir / "x")}, &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{U(dir / "x/file")}));
    g_fileList.clear();
    ScanSearchFolders({U(dir / "x"), U(dir / "y")}, &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{U(dir / "x/file")}));
    // Only reached through a link, it is walked once.
    g_fileList.clear();
    ScanSearchFolders({U(dir / "y")}, &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{U(dir / "y/to-x/file")}));
}

TEST_F(FolderScanTest, FoldersReachedThroughLinksAreWalkedAfterTheSearchedTreeAndOnlyWhereItDidNotReach)
{
    // "a" holds a link to the folder beside it and a link out of the tree; the folder outside holds
    // a folder of its own and a link back into the tree.
    WriteFile(dir / "tree/a/1", "1");
    WriteFile(dir / "tree/z/2", "2");
    WriteFile(dir / "out/3", "3");
    WriteFile(dir / "out/inner/4", "4");
    ASSERT_EQ(symlink("../z", (dir / "tree/a/to-z").c_str()), 0);
    ASSERT_EQ(symlink("../../out", (dir / "tree/a/to-out").c_str()), 0);
    ASSERT_EQ(symlink("../tree/a", (dir / "out/inner/back").c_str()), 0);
    ASSERT_EQ(symlink("inner", (dir / "out/also-inner").c_str()), 0);
    ScanSearchFolders({U(dir / "tree")}, &sink);
    std::vector<std::u16string> listed = ListedPaths();
    ASSERT_EQ(listed.size(), 4u);
    std::sort(listed.begin(), listed.begin() + 2);  // the tree's own folders, in listing order
    std::sort(listed.begin() + 2, listed.end());
    EXPECT_EQ(listed,
              (std::vector<std::u16string>{U(dir / "tree/a/1"), U(dir / "tree/z/2"), U(dir / "tree/a/to-out/3"),
                                           U(dir / "tree/a/to-out/inner/4")}));
}

TEST_F(FolderScanTest, AWebOfFolderLinksIsWalkedOncePerFolder)
{
    // Six folders, each with one file and a link to every folder; the search folder holds only
    // links. A guard against cycles alone walks every order of the folders (about two thousand
    // walks here, and without end at the size of /sys).
    constexpr int kFolders = 6;
    MakeDirs(dir / "hub");
    for (int i = 0; i < kFolders; ++i) {
        const std::string name = Joined("f", i);
        WriteFile(dir / (name + "/file"), name);
        ASSERT_EQ(symlink(("../" + name).c_str(), (dir / ("hub/" + name)).c_str()), 0);
        for (int j = 0; j < kFolders; ++j)
            ASSERT_EQ(symlink(Joined("../f", j).c_str(), (dir / Joined(name, "/l", j)).c_str()), 0);
    }
    ScanSearchFolders({U(dir / "hub")}, &sink);
    std::set<uint64_t> inodes;
    for (const CFileRecord& record : g_fileList)
        inodes.insert(record.identity.inode);
    EXPECT_EQ(g_fileList.size(), size_t{kFolders});
    EXPECT_EQ(inodes.size(), size_t{kFolders});
    EXPECT_EQ(fs.foldersOpened, size_t{kFolders + 1});
}

TEST_F(FolderScanTest, PseudoFileSystemsAreEnteredOnlyWhenNamedNotThroughALink)
{
    WriteFile(dir / "proc-like/self/status", "made up");
    MakeDirs(dir / "home");
    ASSERT_EQ(symlink("../proc-like", (dir / "home/proc").c_str()), 0);
    fs.pseudoLinks.insert(U(dir / "home/proc"));
    ScanSearchFolders({U(dir / "home")}, &sink);
    EXPECT_TRUE(g_fileList.empty());
    EXPECT_EQ(fs.foldersOpened, 1u) << "the link is not even opened";
    ScanSearchFolders({U(dir / "proc-like")}, &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{U(dir / "proc-like/self/status")}));
}

TEST_F(FolderScanTest, NamesThatAreNotUtf8AreFound)
{
    WriteFile(dir / "\xFF\xFE-\xE9t\xE9", "bytes");
    ScanFolder(U(dir.Path()), &sink);
    ASSERT_EQ(g_fileList.size(), 1u);
    EXPECT_EQ(g_fileList.front().path, U(dir.Path()) + u"/\xDCFF\xDCFE-\xDCE9t\xDCE9");
    EXPECT_EQ(g_fileList.front().size, 5u);
}

TEST_F(FolderScanTest, UnreadableFolderIsSkippedAndTheWalkGoesOn)
{
    WriteFile(dir / "a/locked/hidden", "1");
    WriteFile(dir / "b/visible", "2");
    if (geteuid() == 0)
        fs.failFolders.insert(U(dir / "a/locked"));  // permissions do not bind root
    else
        ASSERT_EQ(chmod((dir / "a/locked").c_str(), 0), 0);
    ScanFolder(U(dir.Path()), &sink);
    EXPECT_EQ(ListedPaths(), (std::vector<std::u16string>{U(dir / "b/visible")}));
}
