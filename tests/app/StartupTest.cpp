// Start-up as a whole: settings loaded, the "Folder" switch, the main dialog, and the settings
// written at exit and read back by the next start. Each start is driven in-process: the settings
// in memory are forgotten first, as in a new process, and the dialog is closed once it shows.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTimer>

#include <dirent.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/QuillonApp.h"
#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "platform/CommandLine.h"
#include "platform/Profile.h"
#include "platform/RegText.h"
#include "platform/Utf16Text.h"
#include "res/ResourceIds.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

struct Seen {
    bool shown = false;
    QString pathText;
    std::vector<QString> folders;
    QString notice;  // the first status pane as the window opened
};

class StartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_savedConfig = std::getenv("XDG_CONFIG_HOME");
        setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
        ForgetSettings();
    }
    void TearDown() override
    {
        setenv("XDG_CONFIG_HOME", m_savedConfig.c_str(), 1);
        ForgetSettings();
    }

    static void ForgetSettings()
    {
        theSettings.m_Folders.clear();
        theSettings.m_Folder.clear();
    }

    static void StoreSettings(std::u16string lastPath, std::vector<std::u16string> folders)
    {
        theSettings.m_Folder = std::move(lastPath);
        for (auto& folder : folders)
            theSettings.m_Folders.emplace_back(std::move(folder));
        ASSERT_EQ(theSettings.Save(), 0);
        ForgetSettings();
    }

    // One start of the program with the command line; the dialog is looked at once it shows and
    // then closed with the window's close button.
    static Seen Start(std::u16string commandLine)
    {
        ForgetSettings();
        Seen seen;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&seen, &poll] {
            CQuillonDlg* dialog = theApp.MainWnd();
            if (!dialog || !dialog->isVisible())
                return;
            poll.stop();
            seen.shown = true;
            seen.pathText = qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_EDIT_FOLDER))->text();
            for (int row = 0; row < dialog->FoldersList().GetItemCount(); ++row)
                seen.folders.push_back(dialog->FoldersList().GetItemText(row, 0));
            seen.notice = dialog->StatusPane(0)->text();
            dialog->close();
        });
        poll.start();
        theApp.SetCommandLine(std::move(commandLine));
        EXPECT_FALSE(theApp.InitInstance());
        EXPECT_EQ(theApp.MainWnd(), nullptr);
        return seen;
    }

    std::string StorePath() const { return m_config / "velvane/quillon.reg"; }

    // The copies kept beside the store, by name.
    std::vector<std::string> Copies() const
    {
        std::vector<std::string> names;
        if (DIR* dir = opendir((m_config / "velvane").c_str())) {
            while (const dirent* entry = readdir(dir)) {
                if (std::string_view(entry->d_name).substr(0, 20) == "quillon.reg.damaged-")
                    names.emplace_back(entry->d_name);
            }
            closedir(dir);
        }
        return names;
    }

    quillon::test::TempDir m_config{"quillon-startup"};
    std::string m_savedConfig;
};

TEST_F(StartupTest, WithoutArgumentsThePathEditShowsTheStoredPathAndTheListTheStoredFolders)
{
    StoreSettings(u"/stored/path", {u"/one/", u"/two/"});
    Seen seen = Start(u"/usr/bin/quillon");
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.pathText, QStringLiteral("/stored/path"));
    EXPECT_EQ(seen.folders, (std::vector<QString>{QStringLiteral("/one/"), QStringLiteral("/two/")}));
}

TEST_F(StartupTest, FirstRunStartsEmpty)
{
    Seen seen = Start(std::u16string());
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.pathText.isEmpty());
    EXPECT_TRUE(seen.folders.empty());
}

TEST_F(StartupTest, FolderSwitchWithAQuotedPathReplacesTheStoredPath)
{
    StoreSettings(u"/stored/path", {u"/one/"});
    Seen seen = Start(u"/usr/bin/quillon /folder:\"/home/ann/My Photos\"");
    EXPECT_EQ(seen.pathText, QStringLiteral("/home/ann/My Photos"));
    EXPECT_EQ(seen.folders.size(), 1u) << "the switch adds no folder";

    seen = Start(u"/opt/my-tools/quillon -FOLDER:/data");
    EXPECT_EQ(seen.pathText, QStringLiteral("/data"));

    // What the shell hands over for  quillon "/folder:/home/ann/My Photos".
    const char* argv[] = {"/usr/bin/quillon", "/folder:/home/ann/My Photos", nullptr};
    seen = Start(JoinCommandLine(2, argv));
    EXPECT_EQ(seen.pathText, QStringLiteral("/home/ann/My Photos"));

    seen = Start(u"/usr/bin/quillon /folder");
    EXPECT_TRUE(seen.pathText.isEmpty()) << "a switch without value empties the path";
}

TEST_F(StartupTest, SettingsWrittenAtExitAreReadBackByTheNextStart)
{
    StoreSettings(u"/old", {u"/home/ann/Pictures/", u"/media/backup/"});
    Seen first = Start(u"/usr/bin/quillon /folder:\"/srv/a b\"");
    EXPECT_EQ(first.pathText, QStringLiteral("/srv/a b"));

    Seen second = Start(u"/usr/bin/quillon");
    EXPECT_EQ(second.pathText, QStringLiteral("/srv/a b"));
    EXPECT_EQ(second.folders, (std::vector<QString>{QStringLiteral("/home/ann/Pictures/"), QStringLiteral("/media/backup/")}));

    // The window's placement went to the profile too.
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
    EXPECT_FALSE(GetProfileString(u"ResizableState", u"QuillonWindowPlacement").empty());
}

}  // namespace

namespace {

const std::string kIntactStore = "Windows Registry Editor Version 5.00\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
                                 "\"m_Folder\"=\"/last/\"\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders]\n"
                                 "\"Count\"=dword:00000004\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\0]\n"
                                 "\"m_Folder\"=\"/zero/\"\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\1]\n"
                                 "\"m_Folder\"=\"/one/\"\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Other Program]\n"
                                 "\"kept\"=\"yes\"\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\2]\n"
                                 "\"m_Folder\"=\"/two/\"\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\3]\n"
                                 "\"m_Folder\"=\"/three/\"\n";

std::string Utf16LeWithBom(const std::string& text)
{
    std::string bytes("\xFF\xFE", 2);
    for (char16_t unit : Utf16(text)) {
        if (unit == u'\n') {
            bytes.append("\r\0", 2);
        }
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string Replaced(std::string text, std::string_view what, std::string_view with)
{
    text.replace(text.find(what), what.size(), with);
    return text;
}

}  // namespace

TEST_F(StartupTest, EachDamagedStoreOpensWithWhatParsedAndItsBytesAreKeptBeforeTheFirstRewrite)
{
    using namespace std::string_literals;
    const std::vector<QString> all = {"/zero/", "/one/", "/two/", "/three/"};
    const struct {
        const char* name;
        std::string bytes;
        std::vector<QString> folders;
        QString pathText;
        bool holdsOtherKey;
    } cases[] = {
        {"random bytes", quillon::test::RandomBytes(3000, 7), {}, "", false},
        {"NULs over the end",
         kIntactStore.substr(0, kIntactStore.find("[HKEY_CURRENT_USER\\Software\\Other")) + std::string(4096, '\0'),
         {"/zero/", "/one/"},
         "/last/",
         false},
        {"UTF-16LE with a byte-order mark", Utf16LeWithBom(kIntactStore), all, "/last/", true},
        {"spliced entry 0",
         Replaced(kIntactStore, "Quillon 1.0\\Settings\\m_Folders\\0]", "Quil\x13\x88\xff\0lon 1.0\\Settings\\m_Folders\\0]"s),
         {"/one/", "/two/", "/three/"},
         "/last/",
         true},
        {"truncated", kIntactStore.substr(0, kIntactStore.find("/two/") + 3), {"/zero/", "/one/"}, "/last/", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        quillon::test::RemoveTree(m_config / "velvane");
        quillon::test::WriteFile(StorePath(), c.bytes);

        const Seen first = Start(u"/usr/bin/quillon");
        ASSERT_TRUE(first.shown);
        EXPECT_EQ(first.folders, c.folders);
        EXPECT_EQ(first.pathText, c.pathText);
        EXPECT_FALSE(first.notice.isEmpty());

        // Closing rewrote the store, but only after keeping the file exactly as it was.
        const std::vector<std::string> copies = Copies();
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(quillon::test::ReadFile(m_config / ("velvane/" + copies[0])), c.bytes);
        CRegText::Damage damage;
        const CRegTree tree = CRegText::Parse(quillon::test::ReadFile(StorePath()), &damage);
        EXPECT_FALSE(damage.notUtf8 || damage.noHeader || damage.dropped);
        if (c.holdsOtherKey) {
            EXPECT_NE(tree.Find({u"Software", u"Other Program"}), nullptr) << "another program's key was lost";
        }

        // The next start shows the same and says nothing more; no second copy is made.
        const Seen second = Start(u"/usr/bin/quillon");
        EXPECT_EQ(second.folders, c.folders);
        EXPECT_EQ(second.pathText, c.pathText);
        EXPECT_TRUE(second.notice.isEmpty()) << second.notice.toStdString();
        EXPECT_EQ(Copies().size(), 1u);
    }
}
