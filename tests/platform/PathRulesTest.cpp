#include <gtest/gtest.h>

#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "platform/Utf16Text.h"

TEST(PathRules, AddTrailingBackslashAppendsOnlyWhenMissing)
{
    std::u16string path = u"/home/user";
    AddTrailingBackslash(path);
    EXPECT_EQ(path, u"/home/user/");
    AddTrailingBackslash(path);
    EXPECT_EQ(path, u"/home/user/");
    std::u16string empty;
    AddTrailingBackslash(empty);
    EXPECT_EQ(empty, u"");
    std::u16string root = u"/";
    AddTrailingBackslash(root);
    EXPECT_EQ(root, u"/");
}

TEST(PathRules, FolderOfPathDropsTheLastComponentButKeepsTheRoot)
{
    EXPECT_EQ(FolderViewOfPath(u"/a/b.txt"), u"/a");
    EXPECT_EQ(FolderViewOfPath(u"/b.txt"), u"/");
    EXPECT_EQ(FolderViewOfPath(u"/"), u"/");
    EXPECT_EQ(FolderViewOfPath(u"name"), u"");
    EXPECT_EQ(FolderViewOfPath(u"/a/b/"), u"/a/b");
    EXPECT_EQ(FolderViewOfPath(u"/A/b.txt"), u"/A") << "case is kept";
    const std::u16string deep = u"/" + std::u16string(5000, u'x') + u"/f";
    EXPECT_EQ(FolderViewOfPath(deep).size(), 5001u) << "no length limit";
}

TEST(PathRules, NativePathsSplitAndJoinWithTheRootAndABareNameKept)
{
    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"/a/b.txt", "/a", "b.txt"},
        {"/b.txt", "/", "b.txt"},
        {"b.txt", ".", "b.txt"},
        {"/a/\xff", "/a", "\xff"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NativeFolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(NativeNameOf(c.path), c.name) << c.path;
        EXPECT_EQ(NameViewOfPath(DecodeNativeName(c.path)), DecodeNativeName(c.name)) << c.path;
        if (c.path[0] == '/') {
            EXPECT_EQ(JoinNativePath(c.folder, c.name), c.path) << "joining undoes the split";
        }
    }
}

TEST(PathRules, AbsoluteFolderResolvesDotsLexically)
{
    EXPECT_EQ(AbsoluteFolder(u"photos", u"/home/u"), u"/home/u/photos");
    EXPECT_EQ(AbsoluteFolder(u"./photos/", u"/home/u"), u"/home/u/photos");
    EXPECT_EQ(AbsoluteFolder(u"../x/./y//z/..", u"/home/u"), u"/home/x/y");
    EXPECT_EQ(AbsoluteFolder(u"/abs/../../..", u"/home/u"), u"/");
    EXPECT_EQ(AbsoluteFolder(u".", u"/"), u"/");
    EXPECT_EQ(AbsoluteFolder(u"/tmp/", u"/home"), u"/tmp");
    EXPECT_EQ(AbsoluteFolder(u"/tmp/..", u""), u"/") << "an absolute folder needs no base";
}

TEST(PathRules, RelativeFolderWithoutAnAbsoluteBaseIsAnErrorNotTheRoot)
{
    // An empty base is what CurrentFolder gives when the working folder was deleted.
    for (const char16_t* folder : {u".", u"..", u"", u"photos", u"../.."}) {
        EXPECT_EQ(AbsoluteFolder(folder, u""), u"") << Utf8(folder);
        EXPECT_EQ(AbsoluteFolder(folder, u"home/u"), u"") << Utf8(folder);
    }
}
