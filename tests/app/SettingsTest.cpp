// The settings kept between runs: search folders and the last path, in the per-user store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Settings.h"
#include "platform/RegStore.h"
#include "platform/RegText.h"
#include "platform/StoreFile.h"
#include "platform/Utf16Text.h"
#include "tests/support/TempDir.h"

using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

namespace {

constexpr std::u16string_view kSettingsKey = u"Software\\Velvane\\Quillon 1.0\\Settings";

struct SettingsTest : testing::Test {
    TempDir dir{"quillon-settings"};
    CRegStore store{dir / "velvane/quillon.reg"};

    CSettings Loaded()
    {
        CSettings settings(store.Root(), kSettingsKey);
        settings.Load();
        return settings;
    }

    void Save(const std::vector<std::u16string>& folders, std::u16string_view last = u"")
    {
        CSettings settings(store.Root(), kSettingsKey);
        for (const auto& folder : folders)
            settings.m_Folders.emplace_back(folder);
        settings.m_Folder = last;
        ASSERT_EQ(settings.Save(), ERROR_SUCCESS);
    }

    static std::vector<std::u16string> Paths(const CSettings& settings)
    {
        std::vector<std::u16string> paths;
        for (const auto& entry : settings.m_Folders)
            paths.push_back(entry.m_Folder);
        return paths;
    }

    CRegTree Tree() { return CRegText::Parse(ReadFile(store.FilePath())); }

    // The names of the files in the store's folder besides the store and its lock.
    std::vector<std::string> OtherFiles() const
    {
        std::vector<std::string> names;
        if (DIR* folder = opendir((dir / "velvane").c_str())) {
            while (const dirent* entry = readdir(folder)) {
                const std::string name = entry->d_name;
                if (name != "." && name != ".." && name != "quillon.reg" && name != "quillon.reg.lock")
                    names.push_back(name);
            }
            closedir(folder);
        }
        return names;
    }

    const CRegTree::Key* FoldersKey(const CRegTree& tree)
    {
        return tree.Find({u"Software", u"Velvane", u"Quillon 1.0", u"Settings", u"m_Folders"});
    }

    // Writes `data` (a text with its null when `text`) as value `name` of the key below Settings.
    void Put(std::u16string_view subKey, std::u16string_view name, const std::u16string& text)
    {
        HKEY key = nullptr;
        std::u16string path(kSettingsKey);
        if (!subKey.empty())
            path += u"\\" + std::u16string(subKey);
        ASSERT_EQ(RegCreateKeyEx(store.Root(), path, KEY_WRITE, &key), ERROR_SUCCESS);
        if (!name.empty())
            RegSetValueEx(key, name, REG_SZ, text.c_str(), static_cast<uint32_t>(2 * (text.size() + 1)));
        RegCloseKey(key);
    }

    void PutCount(uint32_t count)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(store.Root(), std::u16string(kSettingsKey) + u"\\m_Folders", KEY_WRITE, &key), ERROR_SUCCESS);
        RegSetValueEx(key, u"Count", REG_DWORD, &count, sizeof count);
        RegCloseKey(key);
    }
};

std::vector<std::u16string> Numbered(int count)
{
    std::vector<std::u16string> folders;
    for (int i = 0; i < count; ++i)
        folders.push_back(u"/data/folder " + Utf16(std::to_string(i)) + u"/");
    return folders;
}

}  // namespace

TEST_F(SettingsTest, FirstRunStartsEmptyAndExitCreatesTheKeysWithTheFolderCount)
{
    CSettings settings(store.Root(), kSettingsKey);
    settings.m_Folder = u"stale";
    EXPECT_EQ(settings.Load(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(settings.m_Folders.empty());
    EXPECT_EQ(settings.m_Folder, u"");

    settings.m_Folders.emplace_back(u"/home/ann/");
    settings.m_Folder = u"/home/ann/Pictures";
    EXPECT_EQ(settings.Save(), ERROR_SUCCESS);

    const std::string file = ReadFile(store.FilePath());
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
                        "\"m_Folder\"=\"/home/ann/Pictures\"\n"),
              std::string::npos);
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders]\n"
                        "\"Count\"=dword:00000001\n"),
              std::string::npos);
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\0]\n"
                        "\"m_Folder\"=\"/home/ann/\"\n"),
              std::string::npos);
}

TEST_F(SettingsTest, TwelveFoldersAreSavedUnderSubkeys0To11AndLoadInTheSameOrder)
{
    Save(Numbered(12), u"/last");
    const CRegTree tree = Tree();
    const CRegTree::Key* folders = FoldersKey(tree);
    ASSERT_NE(folders, nullptr);
    std::vector<std::u16string> names;
    for (const auto& subkey : folders->Subkeys())
        names.push_back(subkey->Name());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10", u"11"}));
    const CSettings loaded = Loaded();
    EXPECT_EQ(Paths(loaded), Numbered(12));
    EXPECT_EQ(loaded.m_Folder, u"/last");
}

namespace {
int g_rewrites = 0;
}  // namespace

TEST_F(SettingsTest, ASaveOfTwelveFoldersRewritesTheFileOnce)
{
    CStoreFile::SetBeforeRenameHookForTesting([] { ++g_rewrites; });
    g_rewrites = 0;
    Save(Numbered(12), u"/first");
    EXPECT_EQ(g_rewrites, 1);
    std::vector<std::u16string> changed = Numbered(12);
    changed[5] = u"/changed/";
    g_rewrites = 0;
    Save(changed, u"/second");
    EXPECT_EQ(g_rewrites, 1);
    g_rewrites = 0;
    Save(changed, u"/second");  // nothing new
    EXPECT_EQ(g_rewrites, 0);
    CStoreFile::SetBeforeRenameHookForTesting(nullptr);
    EXPECT_EQ(Paths(Loaded()), changed);
}

TEST_F(SettingsTest, CommentsAndALineOfAnotherProgramStayInPlaceThroughTenSaves)
{
    WriteFile(store.FilePath(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "; Quillon, set up by hand\n"
              "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
              "; the last path I typed\n"
              "\"m_Folder\"=\"/old/\"\n"
              "Theme=dark\n");
    for (int save = 1; save <= 10; ++save) {
        const std::u16string last = u"/typed " + Utf16(std::to_string(save));
        Save(Numbered(save), last);
        EXPECT_NE(ReadFile(store.FilePath())
                      .find("\n; Quillon, set up by hand\n"
                            "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
                            "; the last path I typed\n"
                            "\"m_Folder\"=\"" +
                            Utf8(last) +
                            "\"\n"
                            "Theme=dark\n"),
                  std::string::npos)
            << "after save " << save << ":\n"
            << ReadFile(store.FilePath());
        EXPECT_EQ(Paths(Loaded()), Numbered(save));
    }
    // The line the reader does not understand made the file count as damaged once: one copy.
    EXPECT_EQ(OtherFiles().size(), 1u);
}

TEST_F(SettingsTest, AReadOnlyStoreIsLeftByteForByte)
{
    const std::string content = "Windows Registry Editor Version 5.00\n"
                                "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
                                "\"m_Folder\"=\"/mine/\"\n"
                                "not a line the reader knows\n";
    WriteFile(store.FilePath(), content);
    ASSERT_EQ(chmod(store.FilePath().c_str(), 0444), 0);
    EXPECT_EQ(Loaded().m_Folder, u"/mine/");

    CSettings settings(store.Root(), kSettingsKey);
    settings.m_Folders.emplace_back(u"/new/");
    settings.m_Folder = u"/changed/";
    EXPECT_EQ(settings.Save(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFile(store.FilePath()), content);
    struct stat st {};
    ASSERT_EQ(stat(store.FilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_TRUE(OtherFiles().empty()) << "no temporary file and no copy";
}

TEST_F(SettingsTest, ShrinkingFiveFoldersToTwoLeavesTheOldSubkeysButLoadsTwo)
{
    Save(Numbered(5));
    Save({u"/a/", u"/b/"});
    const CRegTree tree = Tree();
    const CRegTree::Key* folders = FoldersKey(tree);
    ASSERT_NE(folders, nullptr);
    EXPECT_EQ(folders->Subkeys().size(), 5u);
    EXPECT_EQ(folders->FindValue(u"Count")->data, std::string("\x02\0\0\0", 4));
    EXPECT_EQ(Paths(Loaded()), (std::vector<std::u16string>{u"/a/", u"/b/"}));
}

TEST_F(SettingsTest, LoadingStopsAtTheFirstMissingEntry)
{
    PutCount(3);
    Put(u"m_Folders\\0", u"m_Folder", u"/zero/");
    Put(u"m_Folders\\2", u"m_Folder", u"/two/");
    EXPECT_EQ(Paths(Loaded()), (std::vector<std::u16string>{u"/zero/"}));
}

TEST_F(SettingsTest, AnEntryWithoutAReadablePathLoadsAsAnEmptyRow)
{
    PutCount(2);
    Put(u"m_Folders\\0", u"", u"");
    Put(u"m_Folders\\1", u"m_Folder", u"/one/");
    EXPECT_EQ(Paths(Loaded()), (std::vector<std::u16string>{u"", u"/one/"}));
}

TEST_F(SettingsTest, PathsLongerThanTheFirstReadBufferAreReadInFull)
{
    const std::u16string longPath = u"/" + std::u16string(99, u'\u00e9') + u"/" + std::u16string(200, u'x') + u"/";
    Save({longPath, u"/short/"}, longPath + u"last");
    const CSettings loaded = Loaded();
    EXPECT_EQ(Paths(loaded), (std::vector<std::u16string>{longPath, u"/short/"}));
    EXPECT_EQ(loaded.m_Folder, longPath + u"last");
}

TEST_F(SettingsTest, RemovingAllFoldersWritesCountZeroAndTheNextStartShowsNone)
{
    Save(Numbered(3));
    Save({});
    EXPECT_EQ(FoldersKey(Tree())->FindValue(u"Count")->data, std::string(4, '\0'));
    EXPECT_TRUE(Loaded().m_Folders.empty());
}

TEST_F(SettingsTest, MissingOrUnreadableFolderListsLoadNoFolders)
{
    Put(u"", u"m_Folder", u"/only/");
    EXPECT_TRUE(Loaded().m_Folders.empty());
    EXPECT_EQ(Loaded().m_Folder, u"/only/");

    Put(u"m_Folders\\0", u"m_Folder", u"/zero/");  // entries, but no "Count"
    EXPECT_TRUE(Loaded().m_Folders.empty());
    Put(u"m_Folders", u"Count", u"1234");  // too long for a 32-bit number
    EXPECT_TRUE(Loaded().m_Folders.empty());
}

TEST_F(SettingsTest, ATextStoredWithoutItsNullIsReadUpToItsLastByte)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(store.Root(), kSettingsKey, KEY_WRITE, &key), ERROR_SUCCESS);
    const char16_t text[] = u"/no/null";
    RegSetValueEx(key, u"m_Folder", REG_SZ, text, 2 * 8 + 1);  // odd: half a unit at the end
    RegCloseKey(key);
    EXPECT_EQ(Loaded().m_Folder, u"/no/null");
}

TEST_F(SettingsTest, HooksRunAtTheStartOfASaveAndTheEndOfALoadButNotForDefaults)
{
    struct Counting : CSettings {
        using CSettings::CSettings;
        void OnBeforeSave() override { events.push_back("save " + Utf8(m_Folder)); }
        void OnAfterLoad() override { events.push_back("load " + Utf8(m_Folder)); }
        std::vector<std::string> events;
    };
    Counting settings(store.Root(), kSettingsKey);
    settings.Load();  // nothing stored: defaults
    settings.m_Folder = u"/x";
    settings.Save();
    settings.m_Folder = u"changed";
    settings.Load();
    EXPECT_EQ(settings.events, (std::vector<std::string>{"save /x", "load /x"}));
}

TEST_F(SettingsTest, TheProgramsSettingsLiveUnderTheCurrentUsersStore)
{
    const std::string saved = std::getenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(theSettings.KeyPath(), kSettingsKey);
    theSettings.m_Folders = {CStrOptions(u"/from/the/global/")};
    theSettings.m_Folder = u"/typed";
    EXPECT_EQ(theSettings.Save(), ERROR_SUCCESS);
    theSettings.m_Folders.clear();
    theSettings.m_Folder.clear();
    EXPECT_EQ(theSettings.Load(), ERROR_SUCCESS);
    EXPECT_EQ(Paths(theSettings), (std::vector<std::u16string>{u"/from/the/global/"}));
    EXPECT_NE(ReadFile(dir / "velvane/quillon.reg").find("\"m_Folder\"=\"/typed\""), std::string::npos);
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(RegSettingsPattern, KeyPathsAreFormattedFromThePatternAndItsArguments)
{
    EXPECT_EQ(CRegSettings::FormatPattern(u"Software\\%s\\%i-%d%%", {u"Quillon", 12LL, -3LL}), u"Software\\Quillon\\12--3%");
    EXPECT_EQ(CRegSettings::FormatPattern(u"left %i %s", {7LL}), u"left 7 %s");
    EXPECT_EQ(CRegSettings::FormatPattern(u"100%", {}), u"100%");
}
