// The desktop trash over the bytes of paths: names that stay unique in the trash, information
// files that name their own file, a move undone when the file was swapped, and the trash at the
// top of another mount with the checks that keep it safe.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "platform/DesktopTrash.h"
#include "tests/support/TempDir.h"

using quillon::test::Entries;
using quillon::test::Exists;
using quillon::test::MakeDirs;
using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

namespace {

FileIdentity IdentityOf(const std::string& path)
{
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

}  // namespace

TEST(DesktopTrash, EveryFileTakesANameOfItsOwnInTheTrashAndItsInformationFileNamesIt)
{
    TempDir dir("quillon-desktoptrash");
    const CDesktopTrash trash(dir / "data");
    ASSERT_EQ(trash.PrepareHome(), 0);
    const std::string home = dir / "data/Trash";
    // Taken already: a stray file without its information file, and an information file without its file.
    WriteFile(home + "/files/note", "stray");
    WriteFile(home + "/info/x.tar.gz.trashinfo", "");
    // 254 bytes: too long for NAME.trashinfo; the cut falls inside the two bytes of "\xc3\xa9".
    const std::string longName = std::string(240, 'a') + "\xc3\xa9" + std::string(8, 'b') + ".txt";
    const struct {
        std::string path;  // relative to dir
        std::string name;  // in the trash
    } cases[] = {
        {"1/photo.jpg", "photo.jpg"},
        {"2/photo.jpg", "photo.2.jpg"},
        {"3/photo.jpg", "photo.3.jpg"},
        {"note", "note.2"},
        {"x.tar.gz", "x.tar.2.gz"},
        {".hidden", ".hidden"},
        {"odd \xff\n%/.hidden", ".hidden.2"},
        {longName, std::string(240, 'a') + ".txt"},
        {"2/" + longName, std::string(239, 'a') + ".2.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path = dir / c.path;
        WriteFile(path, c.path);
        const CDesktopTrash::Result result = trash.Move(path);
        ASSERT_EQ(result.status, CDesktopTrash::Status::Moved) << result.error;
        EXPECT_EQ(result.location, home + "/files/" + c.name);
        EXPECT_EQ(ReadFile(result.location), c.path);
        EXPECT_FALSE(Exists(path));
        const std::string info = ReadFile(home + "/info/" + c.name + ".trashinfo");
        EXPECT_TRUE(std::regex_match(info,
                                     std::regex("\\[Trash Info\\]\nPath=" + CDesktopTrash::PercentEncoded(path) +
                                                "\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
            << info;
    }
    EXPECT_EQ(CDesktopTrash::PercentEncoded("/a b/%\xff\n~._-Z"), "/a%20b/%25%FF%0A~._-Z");
    EXPECT_EQ(ReadFile(home + "/files/note"), "stray");
}

TEST(DesktopTrash, AFileSwappedJustBeforeTheMoveIsPutBackAndNothingIsLeftInTheTrash)
{
    TempDir dir("quillon-desktoptrash");
    const CDesktopTrash trash(dir / "data");
    const std::string path = dir / "f";
    WriteFile(path, "the new file");
    const FileIdentity checked{IdentityOf(path).device, IdentityOf(path).inode + 1};
    const CDesktopTrash::Result result = trash.Move(path, &checked);
    EXPECT_EQ(result.status, CDesktopTrash::Status::Changed);
    EXPECT_EQ(ReadFile(path), "the new file");
    EXPECT_TRUE(Entries(dir / "data/Trash/files").empty());
    EXPECT_TRUE(Entries(dir / "data/Trash/info").empty());
    EXPECT_EQ(trash.Move(dir / "gone").status, CDesktopTrash::Status::Gone);
}

TEST(DesktopTrash, OnAnotherMountOnlyATrashOfThisUserAtItsTopIsUsedAndNothingElse)
{
    TempDir dir("quillon-desktoptrash");
    const std::string top = dir / "volume";
    MakeDirs(top);
    if (::mount("quillon-test", top.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and a mount namespace that allows it)";
    const std::string uid = std::to_string(::getuid());
    const std::string own = top + "/.Trash-" + uid;
    const std::string shared = top + "/.Trash";
    const struct {
        const char* what;
        std::function<void()> prepare;
        std::string trash;  // the trash used; empty: none may be
    } cases[] = {
        {"none yet: .Trash-UID is made", [] {}, own},
        {"a sticky .Trash of the administrator: .Trash/UID",
         [&] {
             MakeDirs(shared);
             ::chmod(shared.c_str(), 01777);
         },
         shared + "/" + uid},
        {".Trash without the sticky bit is passed over",
         [&] {
             MakeDirs(shared);
             ::chmod(shared.c_str(), 0777);
         },
         own},
        {".Trash as a link is passed over",
         [&] {
             MakeDirs(top + "/elsewhere");
             ::chmod((top + "/elsewhere").c_str(), 01777);
             ::symlink("elsewhere", shared.c_str());
         },
         own},
        {".Trash-UID as a link is refused",
         [&] {
             MakeDirs(top + "/elsewhere");
             ::symlink("elsewhere", own.c_str());
         },
         ""},
        {".Trash-UID of another user is refused",
         [&] {
             MakeDirs(own);
             ::chown(own.c_str(), 65534, 65534);
         },
         ""},
        {"its files folder of another user is refused",
         [&] {
             MakeDirs(own + "/files");
             ::chown((own + "/files").c_str(), 65534, 65534);
         },
         ""},
    };
    const CDesktopTrash trash(dir / "data");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : Entries(top))
            quillon::test::RemoveTree(top + "/" + name);
        const std::string path = top + "/sub/f.txt";
        WriteFile(path, "on the volume");
        c.prepare();
        const CDesktopTrash::Result result = trash.Move(path);
        EXPECT_TRUE(Entries(top + "/elsewhere").empty()) << "nothing goes where a link leads";
        if (c.trash.empty()) {
            EXPECT_EQ(result.status, CDesktopTrash::Status::NoTrash);
            EXPECT_EQ(ReadFile(path), "on the volume");
            continue;
        }
        ASSERT_EQ(result.status, CDesktopTrash::Status::Moved) << result.error;
        EXPECT_EQ(result.location, c.trash + "/files/f.txt");
        EXPECT_EQ(ReadFile(c.trash + "/info/f.txt.trashinfo").substr(0, 33), "[Trash Info]\nPath=sub/f.txt\nDelet");
        struct stat status {};
        ASSERT_EQ(::lstat(c.trash.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        EXPECT_FALSE(Exists(dir / "data/Trash/files/f.txt")) << "never the home trash, on another file system";
    }
    // A read-only mount has no trash to offer: the file stays.
    for (const std::string& name : Entries(top))
        quillon::test::RemoveTree(top + "/" + name);
    WriteFile(top + "/f.txt", "read-only");
    ASSERT_EQ(::mount(nullptr, top.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    const CDesktopTrash::Result readOnly = trash.Move(top + "/f.txt");
    EXPECT_EQ(readOnly.status, CDesktopTrash::Status::NoTrash);
    EXPECT_EQ(readOnly.error, EROFS);
    EXPECT_EQ(ReadFile(top + "/f.txt"), "read-only");
    ::umount2(top.c_str(), MNT_DETACH);
}
