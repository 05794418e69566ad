#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

std::string Bytes(size_t length, char fill)
{
    return std::string(length, fill);
}

// Lists every folder with its links first (then by name), so that a link to a folder beside it is
// met before that folder.
class LinksFirstFileSystem : public IFileSystem {
public:
    explicit LinksFirstFileSystem(IFileSystem& inner) : m_inner(inner) {}
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        std::unique_ptr<IDirListing> inner = m_inner.OpenFolder(path);
        if (!inner)
            return nullptr;
        auto listing = std::make_unique<Listing>(inner->Identity());
        for (DirEntry entry; inner->Next(entry);)
            listing->entries.push_back(entry);
        std::sort(listing->entries.begin(), listing->entries.end(),
                  [](const DirEntry& a, const DirEntry& b) { return std::tie(b.isLink, a.name) < std::tie(a.isLink, b.name); });
        return listing;
    }
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override { return m_inner.OpenFile(path); }

private:
    struct Listing : IDirListing {
        explicit Listing(FileIdentity identity) : identity(identity) {}
        FileIdentity Identity() const override { return identity; }
        bool Next(DirEntry& entry) override
        {
            if (next == entries.size())
                return false;
            entry = entries[next++];
            return true;
        }
        FileIdentity identity;
        std::vector<DirEntry> entries;
        size_t next = 0;
    };
    IFileSystem& m_inner;
};

using Rowset = std::vector<std::pair<std::u16string, std::u16string>>;

// What a search read and found.
struct Reads {
    uint64_t bytes = 0;
    size_t mostOpeningsOfAFile = 0;  // the most times one file (inode) was opened
    Rowset rows;
};

class SameFileTest : public EngineTest {
protected:
    // A whole search over `folders` by a fresh engine (nothing in memory answers for a file).
    Reads SearchCounting(const std::vector<std::string>& folders)
    {
        ResetEngine();
        g_fileSystem = &linksFirst;
        fs.opened.clear();
        fs.bytesRead = 0;
        Search(folders);
        Reads reads;
        reads.bytes = fs.bytesRead;
        std::map<ino_t, size_t> openings;
        for (const std::u16string& path : fs.opened) {
            struct stat status {};
            EXPECT_EQ(stat(EncodeNativeName(path).c_str(), &status), 0);
            reads.mostOpeningsOfAFile = std::max(reads.mostOpeningsOfAFile, ++openings[status.st_ino]);
        }
        for (const CDuplicatePair& row : g_duplicates)
            reads.rows.emplace_back(row.originalPath, row.duplicatePath);
        return reads;
    }

    // Writes each file (a path below the test's folder) as `size` bytes of `fill`.
    void WriteFiles(const std::vector<std::tuple<std::string, size_t, char>>& files)
    {
        for (const auto& [path, size, fill] : files)
            WriteFile(dir / path, Bytes(size, fill));
    }

    LinksFirstFileSystem linksFirst{fs};
};

// A quick digest and a full one: at most two openings of a file.
constexpr size_t kDigestKinds = 2;

}  // namespace

TEST_F(SameFileTest, FilesReachedThroughALinkMetBeforeTheirFolderAreReadOnceAndListedUnderTheirOwnPaths)
{
    WriteFiles({{"tree/z/unique-1", 300000, 'u'},
                {"tree/z/unique-2", 300001, 'v'},
                {"tree/z/copy-1", 200000, 'c'},
                {"tree/z/copy-2", 200000, 'c'},
                {"tree/z/deep/copy-3", 200000, 'c'},
                {"tree/z/deep/other", 200000, 'o'},
                {"tree/y/copy-4", 200000, 'c'}});
    const Reads plain = SearchCounting({dir / "tree"});
    ASSERT_EQ(plain.rows.size(), 3u);

    ASSERT_EQ(symlink("z", (dir / "tree/a-link").c_str()), 0);
    ASSERT_EQ(symlink("../z/deep", (dir / "tree/y/b-link").c_str()), 0);
    const Reads linked = SearchCounting({dir / "tree"});
    EXPECT_EQ(linked.rows, plain.rows) << "the links add no path and no row";
    EXPECT_EQ(linked.bytes, plain.bytes);
    EXPECT_LE(linked.mostOpeningsOfAFile, kDigestKinds);
}

TEST_F(SameFileTest, AHardLinkedPairOfAHundredMegabytesIsNeverRead)
{
    MakeDirs(dir / "pair");
    MakeDirs(dir / "elsewhere");
    const int fd = open((dir / "pair/original").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 100 << 20), 0);  // sparse: nothing written
    close(fd);
    ASSERT_EQ(link((dir / "pair/original").c_str(), (dir / "pair/hard-link").c_str()), 0);
    ASSERT_EQ(link((dir / "pair/original").c_str(), (dir / "elsewhere/third-name").c_str()), 0);
    const Reads reads = SearchCounting({dir / "pair", dir / "elsewhere", dir / "pair"});
    EXPECT_EQ(g_fileCount, 5u);
    EXPECT_TRUE(fs.opened.empty());
    EXPECT_EQ(reads.bytes, 0u);
    EXPECT_TRUE(reads.rows.empty());
}

TEST_F(SameFileTest, OverlappingSearchFoldersReadEachFileOnce)
{
    WriteFiles({{"top/a", 100000, 's'},
                {"top/b", 100000, 's'},
                {"top/different", 100000, 'd'},
                {"top/sub/c", 100000, 's'},
                {"top/sub/unique", 100001, 's'},
                {"top/sub/small-1", 40, 't'},
                {"top/sub/small-2", 40, 't'}});
    const Reads once = SearchCounting({dir / "top"});
    const Reads overlapping = SearchCounting({dir / "top/sub", dir / "top", dir / "top/sub", dir / "top"});
    EXPECT_EQ(overlapping.bytes, once.bytes);
    EXPECT_LE(overlapping.mostOpeningsOfAFile, kDigestKinds);
    EXPECT_EQ(overlapping.rows.size(), once.rows.size());
}
