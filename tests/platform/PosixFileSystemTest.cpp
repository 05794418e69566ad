#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/NativeName.h"
#include "platform/PosixFileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

using quillon::test::TempDir;
using quillon::test::WriteFile;

namespace {

std::map<std::u16string, DirEntry> ListAll(IFileSystem& fs, const std::string& folder)
{
    std::map<std::u16string, DirEntry> entries;
    auto listing = fs.OpenFolder(DecodeNativeName(folder));
    EXPECT_TRUE(listing);
    if (!listing)
        return entries;
    DirEntry entry;
    while (listing->Next(entry))
        entries[entry.name] = entry;
    return entries;
}

void MakeSocket(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

}  // namespace

TEST(PosixFileSystem, ListsFilesWithSizeTimeAndIdentityAndFoldersButNoSpecialFiles)
{
    TempDir dir;
    WriteFile(dir / "file.txt", "hello");
    quillon::test::SetMtime(dir / "file.txt", 1700000000, 123456789);
    quillon::test::MakeDirs(dir / "sub");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    MakeSocket(dir / "sock");
    ASSERT_EQ(symlink("file.txt", (dir / "link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("sub", (dir / "link-to-folder").c_str()), 0);
    ASSERT_EQ(symlink("missing", (dir / "dangling").c_str()), 0);

    auto entries = ListAll(CPosixFileSystem::Instance(), dir.Path());
    EXPECT_EQ(entries.count(u"."), 0u);
    EXPECT_EQ(entries.count(u".."), 0u);

    const DirEntry& file = entries.at(u"file.txt");
    EXPECT_TRUE(file.isFile);
    EXPECT_FALSE(file.isFolder);
    EXPECT_EQ(file.size, 5u);
    EXPECT_EQ(file.lastWrite, (1700000000ULL + 11644473600ULL) * 10000000ULL + 1234567ULL);
    struct stat st;
    ASSERT_EQ(stat((dir / "file.txt").c_str(), &st), 0);
    EXPECT_EQ(file.identity.inode, static_cast<uint64_t>(st.st_ino));
    EXPECT_EQ(file.identity.device, static_cast<uint64_t>(st.st_dev));

    EXPECT_TRUE(entries.at(u"sub").isFolder);
    EXPECT_TRUE(entries.at(u"link-to-folder").isFolder);
    for (const char16_t* special : {u"fifo", u"sock", u"link-to-file", u"dangling"}) {
        const DirEntry& entry = entries.at(special);
        EXPECT_FALSE(entry.isFile);
        EXPECT_FALSE(entry.isFolder);
    }
}

TEST(PosixFileSystem, NamesThatAreNotUtf8AreListedAndOpenedLosslessly)
{
    TempDir dir;
    const std::string rawName = "caf\xE9-\xFF.txt";
    WriteFile(dir / rawName, "content");
    auto entries = ListAll(CPosixFileSystem::Instance(), dir.Path());
    ASSERT_EQ(entries.size(), 1u);
    const std::u16string name = entries.begin()->first;
    EXPECT_EQ(name, u"caf\xDCE9-\xDCFF.txt");

    auto reader = CPosixFileSystem::Instance().OpenFile(DecodeNativeName(dir.Path()) + u"/" + name);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Size(), 7u);
    char buffer[16];
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 7);
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 0);
}

TEST(PosixFileSystem, OpenFileRefusesFifosFoldersAndMissingFilesWithoutBlocking)
{
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    quillon::test::MakeDirs(dir / "sub");
    auto& fs = CPosixFileSystem::Instance();
    EXPECT_FALSE(fs.OpenFile(DecodeNativeName(dir / "fifo")));
    EXPECT_FALSE(fs.OpenFile(DecodeNativeName(dir / "sub")));
    EXPECT_FALSE(fs.OpenFile(DecodeNativeName(dir / "missing")));
    EXPECT_FALSE(fs.OpenFolder(DecodeNativeName(dir / "missing")));
    EXPECT_FALSE(fs.OpenFolder(DecodeNativeName(dir / "fifo")));
}

TEST(PosixFileSystem, ListingReportsTheIdentityOfTheFolderBehindALink)
{
    TempDir dir;
    quillon::test::MakeDirs(dir / "real");
    ASSERT_EQ(symlink("real", (dir / "alias").c_str()), 0);
    auto& fs = CPosixFileSystem::Instance();
    auto real = fs.OpenFolder(DecodeNativeName(dir / "real"));
    auto alias = fs.OpenFolder(DecodeNativeName(dir / "alias"));
    ASSERT_TRUE(real && alias);
    EXPECT_EQ(real->Identity(), alias->Identity());

    // In the listing of the parent, the link is a folder with the identity of the one it leads
    // to; a link into /proc leads to a pseudo file system.
    ASSERT_EQ(symlink("/proc", (dir / "proc").c_str()), 0);
    auto parent = fs.OpenFolder(DecodeNativeName(dir.Path()));
    ASSERT_TRUE(parent);
    std::map<std::u16string, DirEntry> entries;
    for (DirEntry entry; parent->Next(entry);)
        entries[entry.name] = entry;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[u"alias"].isFolder && entries[u"alias"].isLink);
    EXPECT_EQ(entries[u"alias"].identity, real->Identity());
    EXPECT_FALSE(entries[u"alias"].onPseudoFileSystem);
    EXPECT_FALSE(entries[u"real"].isLink);
    EXPECT_TRUE(entries[u"proc"].isFolder && entries[u"proc"].onPseudoFileSystem);
}

TEST(PosixFileSystem, UnreadableFolderCannotBeListed)
{
    // Permissions do not bind root: the check runs in a child that has dropped to another user.
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    quillon::test::MakeDirs(dir / "locked");
    quillon::test::MakeDirs(dir / "open");
    ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);
    const int status = quillon::test::RunUnprivileged([&] {
        auto& fs = CPosixFileSystem::Instance();
        return (fs.OpenFolder(DecodeNativeName(dir / "locked")) ? 1 : 0) +
            (fs.OpenFolder(DecodeNativeName(dir / "open")) ? 0 : 2);
    });
    EXPECT_EQ(status, 0) << "1: the locked folder was listed; 2: the open one was not";
}
