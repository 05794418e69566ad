// Existence and folder tests on real paths, including links and names that are not UTF-8.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/FileAttributes.h"
#include "platform/NativeName.h"
#include "tests/support/TempDir.h"

using quillon::test::MakeDirs;
using quillon::test::TempDir;
using quillon::test::WriteFile;

TEST(FileAttributes, FoldersAndLinksToFoldersAreFoldersFilesAndMissingPathsAreNot)
{
    TempDir dir;
    MakeDirs(dir / "folder");
    MakeDirs(dir / "caf\xE9");
    WriteFile(dir / "file", "x");
    ASSERT_EQ(symlink((dir / "folder").c_str(), (dir / "to-folder").c_str()), 0);
    ASSERT_EQ(symlink((dir / "file").c_str(), (dir / "to-file").c_str()), 0);
    ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);

    struct Case {
        const char* name;
        bool exists;
        bool folder;
    };
    for (const Case& c : {Case{"folder", true, true}, Case{"folder/", true, true}, Case{"caf\xE9", true, true},
                          Case{"to-folder", true, true}, Case{"file", true, false}, Case{"to-file", true, false},
                          Case{"dangling", false, false}, Case{"missing", false, false}}) {
        const std::u16string path = DecodeNativeName(dir / c.name);
        EXPECT_EQ(PathExists(path), c.exists) << c.name;
        EXPECT_EQ(IsFolderPath(path), c.folder) << c.name;
    }
    EXPECT_FALSE(PathExists(u""));
    EXPECT_FALSE(IsFolderPath(u""));
    EXPECT_FALSE(IsFolderPath(DecodeNativeName(dir.Path()) + std::u16string(1, u'\0') + u"x"))
        << "a NUL cuts the name short at the system call; it names nothing";
}
