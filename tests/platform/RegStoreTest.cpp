// The per-user store through its registry-shaped calls: persistence, the answers callers rely
// on, and what happens when several programs or a crash meet the file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/NativeName.h"
#include "platform/RegStore.h"
#include "platform/RegText.h"
#include "platform/Registry.h"
#include "platform/StoreFile.h"
#include "platform/Utf16Text.h"
#include "tests/support/TempDir.h"

using quillon::test::Joined;
using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

namespace {

long SetText(HKEY key, std::u16string_view name, const std::u16string& text)
{
    return RegSetValueEx(key, name, REG_SZ, text.c_str(), static_cast<uint32_t>(2 * (text.size() + 1)));
}

// The text of a value read with a buffer of exactly the needed size, or "<error N>".
std::u16string GetText(HKEY key, std::u16string_view name)
{
    uint32_t size = 0;
    long result = RegQueryValueEx(key, name, nullptr, nullptr, &size);
    std::u16string text(size / 2, u'\0');
    if (result == ERROR_SUCCESS)
        result = RegQueryValueEx(key, name, nullptr, text.data(), &size);
    if (result != ERROR_SUCCESS)
        return u"<error " + Utf16(std::to_string(result)) + u">";
    if (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

HKEY Create(HKEY parent, std::u16string_view path)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(parent, path, KEY_WRITE | KEY_READ, &key), ERROR_SUCCESS);
    return key;
}

struct StoreFixture : testing::Test {
    TempDir dir{"quillon-store"};
    std::string path = dir / "velvane/quillon.reg";
};

}  // namespace

using RegStore = StoreFixture;

TEST_F(RegStore, ValuesAndSubkeysRoundTripThroughTheFile)
{
    {
        CRegStore store(path);
        HKEY settings = Create(store.Root(), u"Software\\Velvane\\Quillon 1.0\\Settings");
        EXPECT_EQ(SetText(settings, u"m_Folder", u"/home/ann/"), ERROR_SUCCESS);
        HKEY entry = Create(settings, u"m_Folders\\0");
        const uint32_t count = 12;
        EXPECT_EQ(RegSetValueEx(settings, u"Count", REG_DWORD, &count, sizeof count), ERROR_SUCCESS);
        EXPECT_EQ(SetText(entry, u"m_Folder", u"/data/"), ERROR_SUCCESS);
        RegCloseKey(entry);
        RegCloseKey(settings);
    }
    CRegStore again(path);
    HKEY settings = nullptr;
    ASSERT_EQ(RegOpenKeyEx(again.Root(), u"software\\VELVANE\\Quillon 1.0\\Settings", KEY_READ, &settings), ERROR_SUCCESS);
    EXPECT_EQ(GetText(settings, u"M_FOLDER"), u"/home/ann/");
    uint32_t count = 0, size = sizeof count, type = 0;
    EXPECT_EQ(RegQueryValueEx(settings, u"Count", &type, &count, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(count, 12u);
    HKEY entry = nullptr;
    ASSERT_EQ(RegOpenKeyEx(settings, u"m_Folders\\0", KEY_READ, &entry), ERROR_SUCCESS);
    EXPECT_EQ(GetText(entry, u"m_Folder"), u"/data/");
    RegCloseKey(entry);
    RegCloseKey(settings);
}

TEST_F(RegStore, TextsAreStoredWithTheirNullAndALongValueAnswersMoreDataWithTheNeededSize)
{
    CRegStore store(path);
    HKEY key = Create(store.Root(), u"K");
    const std::u16string text(150, u'x');
    ASSERT_EQ(SetText(key, u"long", text), ERROR_SUCCESS);

    char16_t small[100];
    std::fill(std::begin(small), std::end(small), u'?');
    uint32_t size = sizeof small, type = 0;
    EXPECT_EQ(RegQueryValueEx(key, u"long", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 2u * (150 + 1));
    EXPECT_EQ(small[0], u'?');  // untouched
    std::vector<char16_t> large(size / 2);
    EXPECT_EQ(RegQueryValueEx(key, u"long", &type, large.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(large.data()), text);
    RegCloseKey(key);
}

TEST_F(RegStore, MissingKeysAndValuesAnswerNotFound)
{
    CRegStore store(path);
    HKEY key = reinterpret_cast<HKEY>(&store);
    EXPECT_EQ(RegOpenKeyEx(store.Root(), u"Software\\Velvane", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(access(path.c_str(), F_OK) == 0);  // reading created no file

    HKEY made = Create(store.Root(), u"Software\\Velvane");
    uint32_t size = 0;
    EXPECT_EQ(RegQueryValueEx(made, u"absent", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(made, u"Quillon 1.0", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    RegCloseKey(made);
}

TEST_F(RegStore, BadPathsAndHandlesAreRefused)
{
    CRegStore store(path);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(store.Root(), u"a\\\\b", KEY_WRITE, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(store.Root(), u"a\\", KEY_WRITE, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(store.Root(), u"line\nbreak", KEY_WRITE, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(store.Root(), u"lone \xDC80", KEY_WRITE, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyEx(nullptr, u"a", KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    std::u16string deep;
    for (size_t i = 0; i <= CRegTree::kMaxDepth; ++i)
        deep += u"d\\";
    deep.pop_back();
    EXPECT_EQ(RegCreateKeyEx(store.Root(), deep, KEY_WRITE, &key), ERROR_INVALID_PARAMETER);
}

TEST_F(RegStore, AReadHandleCannotWriteAndAHandleToARemovedKeySaysSo)
{
    CRegStore store(path);
    RegCloseKey(Create(store.Root(), u"K"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyEx(store.Root(), u"K", KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(SetText(reader, u"v", u"x"), ERROR_ACCESS_DENIED);

    HKEY writer = Create(store.Root(), u"K");
    WriteFile(path, "Windows Registry Editor Version 5.00\n");  // another program removed the key
    EXPECT_EQ(SetText(writer, u"v", u"x"), ERROR_KEY_DELETED);
    uint32_t size = 0;
    EXPECT_EQ(RegQueryValueEx(reader, u"v", nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(reader);
    RegCloseKey(writer);
}

TEST_F(RegStore, WritingWhatIsAlreadyStoredLeavesTheFileAlone)
{
    CRegStore store(path);
    HKEY key = Create(store.Root(), u"K");
    ASSERT_EQ(SetText(key, u"v", u"same"), ERROR_SUCCESS);
    const CStoreFile::Stamp before = CStoreFile(path).CurrentStamp();
    bool created = true;
    HKEY again = nullptr;
    EXPECT_EQ(RegCreateKeyEx(store.Root(), u"k", KEY_WRITE, &again, &created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    EXPECT_EQ(SetText(again, u"V", u"same"), ERROR_SUCCESS);
    EXPECT_EQ(CStoreFile(path).CurrentStamp(), before);
    RegCloseKey(again);
    RegCloseKey(key);
}

TEST_F(RegStore, ValueNamesAndTextsOfEveryKindRoundTripExactlyThroughTheFile)
{
    // Names taken from file names that are not UTF-8 hold U+DC80..U+DCFF.
    const std::u16string native = DecodeNativeName("Fotos \xe9t\xe9 \xff");
    const std::vector<std::u16string> texts = {u"C:\\Users\\ann\\",
                                               u"say \"hi\"",
                                               u"\u00e9\u00df\u65e5\u672c\U0001F600",
                                               native,
                                               u"\xD800 high alone",
                                               u"trailing backslash\\",
                                               u"\\\\server\\share",
                                               std::u16string(300, u'\u00e9'),
                                               u"tab\tnewline\ncr\r",
                                               std::u16string(u"nul\0inside", 10),
                                               u""};
    {
        CRegStore store(path);
        HKEY key = Create(store.Root(), u"Software\\Velvane\\Quillon 1.0\\Settings");
        for (const auto& text : texts)
            ASSERT_EQ(SetText(key, u"name " + text, text), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    // Every surrogate in the file is half of a valid pair: no byte fell outside UTF-8.
    const std::u16string file = DecodeNativeName(ReadFile(path));
    for (size_t i = 0; i < file.size(); ++i) {
        const bool lone = file[i] >= 0xDC80 && file[i] <= 0xDCFF && (i == 0 || file[i - 1] < 0xD800 || file[i - 1] > 0xDBFF);
        ASSERT_FALSE(lone) << "the file is not valid UTF-8";
    }

    CRegStore again(path);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(again.Root(), u"Software\\Velvane\\Quillon 1.0\\Settings", KEY_READ, &key), ERROR_SUCCESS);
    for (const auto& text : texts) {
        uint32_t size = 0;
        ASSERT_EQ(RegQueryValueEx(key, u"name " + text, nullptr, nullptr, &size), ERROR_SUCCESS);
        std::u16string read(size / 2, u'\0');
        ASSERT_EQ(RegQueryValueEx(key, u"name " + text, nullptr, read.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(read, text + u'\0');
    }
    RegCloseKey(key);
}

TEST_F(RegStore, AFileWithDamagedLinesLoadsWhatIsIntactAndTheNextWriteKeepsIt)
{
    WriteFile(path,
              "Windows Registry Editor Version 5.00\n"
              "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
              "\"m_Folder\"=\"/kept/\"\n"
              "\"broken\"=\"no end\n"
              "\x01\x02\xff garbage\n"
              "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\n"
              "\"Count\"=dword:00000003\n");
    CRegStore store(path);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(store.Root(), u"Software\\Velvane\\Quillon 1.0\\Settings", KEY_WRITE | KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(GetText(key, u"m_Folder"), u"/kept/");
    EXPECT_EQ(SetText(key, u"added", u"new"), ERROR_SUCCESS);
    RegCloseKey(key);
    const CRegTree tree = CRegText::Parse(ReadFile(path));
    const CRegTree::Key* settings = tree.Find({u"Software", u"Velvane", u"Quillon 1.0", u"Settings"});
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Values().size(), 2u);
    EXPECT_EQ(settings->Subkeys().size(), 0u);
}

TEST_F(RegStore, SomethingThatIsNotARegularFileIsReadAsEmptyAndNeverReplaced)
{
    quillon::test::MakeDirs(path);  // a folder where the store should be
    CRegStore store(path);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(store.Root(), u"K", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyEx(store.Root(), u"K", KEY_WRITE, &key), ERROR_ACCESS_DENIED);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(RegStore, AStoreThatIsASymbolicLinkStaysALinkAndTheFileItNamesChanges)
{
    const std::string real = dir / "dotfiles/quillon.reg";
    WriteFile(real, "[HKEY_CURRENT_USER\\K]\n\"old\"=\"1\"\n");
    quillon::test::MakeDirs(dir / "velvane");
    ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
    CRegStore store(path);
    HKEY key = Create(store.Root(), u"K");
    EXPECT_EQ(SetText(key, u"new", u"2"), ERROR_SUCCESS);
    RegCloseKey(key);
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(ReadFile(real).find("\"new\"=\"2\""), std::string::npos);
    EXPECT_NE(ReadFile(real).find("\"old\"=\"1\""), std::string::npos);
}

TEST_F(RegStore, ACrashBetweenWritingTheTemporaryFileAndTheRenameLeavesThePreviousStoreIntact)
{
    CRegStore store(path);
    HKEY key = Create(store.Root(), u"Software\\Velvane\\Quillon 1.0\\Settings");
    ASSERT_EQ(SetText(key, u"m_Folder", u"/before/"), ERROR_SUCCESS);
    const std::string before = ReadFile(path);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CStoreFile::SetBeforeRenameHookForTesting([] { _exit(42); });
        SetText(key, u"m_Folder", u"/after/");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 42) << "the writer did not stop before the rename";
    EXPECT_NE(ReadFile(path + ".tmp").find("/after/"), std::string::npos);  // it got that far

    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(GetText(key, u"m_Folder"), u"/before/");
    // The next write goes through over the stray temporary file.
    EXPECT_EQ(SetText(key, u"m_Folder", u"/later/"), ERROR_SUCCESS);
    EXPECT_EQ(GetText(key, u"m_Folder"), u"/later/");
    EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);
    RegCloseKey(key);
}

TEST_F(RegStore, TwoProcessesWritingOrSavingBatchesAtTheSameTimeBothKeepEveryKey)
{
    constexpr uint32_t kWrites = 40;
    for (const bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "batches" : "single calls");
        quillon::test::RemoveTree(dir / "velvane");
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        std::vector<pid_t> children;
        for (int writer = 0; writer < 2; ++writer) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                close(start[1]);
                char go;
                while (read(start[0], &go, 1) < 0) {}  // returns 0 when the parent lets every writer go at once
                CRegStore store(path);
                int failures = 0;
                for (uint32_t i = 0; i < kWrites; ++i) {
                    // A save: a new key and two values, in one change of the file or in three.
                    auto save = [&] {
                        HKEY key = nullptr;
                        const std::u16string name = u"Writer" + Utf16(std::to_string(writer)) + u"\\" + Utf16(std::to_string(i));
                        long result = RegCreateKeyEx(store.Root(), name, KEY_WRITE, &key);
                        if (result == ERROR_SUCCESS)
                            result = RegSetValueEx(key, u"n", REG_DWORD, &i, sizeof i);
                        if (result == ERROR_SUCCESS)
                            result = SetText(key, u"m_Folder", u"/folder/");
                        RegCloseKey(key);
                        return result;
                    };
                    failures += (batched ? store.Batch(save) : save()) != ERROR_SUCCESS;
                }
                _exit(failures == 0 ? 0 : 1);
            }
            children.push_back(child);
        }
        close(start[0]);
        close(start[1]);
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const CRegTree tree = CRegText::Parse(ReadFile(path));
        for (int writer = 0; writer < 2; ++writer) {
            for (uint32_t i = 0; i < kWrites; ++i) {
                const CRegTree::Key* key = tree.Find({u"Writer" + Utf16(std::to_string(writer)), Utf16(std::to_string(i))});
                ASSERT_NE(key, nullptr) << "writer " << writer << " lost key " << i;
                const CRegTree::Value* value = key->FindValue(u"n");
                ASSERT_NE(value, nullptr) << "writer " << writer << " lost value " << i;
                EXPECT_EQ(value->data, std::string(reinterpret_cast<const char*>(&i), 4));
                EXPECT_NE(key->FindValue(u"m_Folder"), nullptr);
            }
        }
    }
}

TEST_F(RegStore, ABatchOnOneThreadNeitherTakesInNorLosesAnotherThreadsWrites)
{
    CRegStore store(path);
    RegCloseKey(Create(store.Root(), u"Other"));
    std::atomic<int> otherFailures{0};
    std::thread other;
    const long result = store.Batch([&] {
        HKEY key = Create(store.Root(), u"Batch");
        // Another thread writes while the batch holds the file: its change waits for the lock.
        other = std::thread([&] {
            HKEY mine = nullptr;
            otherFailures += RegOpenKeyEx(store.Root(), u"Other", KEY_WRITE | KEY_READ, &mine) != ERROR_SUCCESS;
            otherFailures += SetText(mine, u"v", u"theirs") != ERROR_SUCCESS;
            RegCloseKey(mine);
        });
        for (uint32_t i = 0; i < 50; ++i)
            EXPECT_EQ(RegSetValueEx(key, Utf16(Joined("n", i)), REG_DWORD, &i, sizeof i), ERROR_SUCCESS);
        uint32_t read = 0, size = sizeof read;  // the batch reads what it wrote
        EXPECT_EQ(RegQueryValueEx(key, u"n49", nullptr, &read, &size), ERROR_SUCCESS);
        EXPECT_EQ(read, 49u);
        RegCloseKey(key);
        return ERROR_SUCCESS;
    });
    other.join();
    EXPECT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(otherFailures, 0);
    const CRegTree tree = CRegText::Parse(ReadFile(path));
    ASSERT_NE(tree.Find({u"Batch"}), nullptr);
    EXPECT_EQ(tree.Find({u"Batch"})->Values().size(), 50u);
    ASSERT_NE(tree.Find({u"Other"})->FindValue(u"v"), nullptr);
}

TEST(RegStoreLocation, TheCurrentUsersStoreFollowsXdgConfigHomeThenHome)
{
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    TempDir dir("quillon-xdg");

    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(CRegStore::DefaultFilePath(), dir / "velvane/quillon.reg");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Velvane", KEY_WRITE, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(ReadFile(dir / "velvane/quillon.reg").find("[HKEY_CURRENT_USER\\Software\\Velvane]"), std::string::npos);

    setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
    setenv("HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(CRegStore::DefaultFilePath(), dir / ".config/velvane/quillon.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(CRegStore::DefaultFilePath(), dir / ".config/velvane/quillon.reg");

    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
}
