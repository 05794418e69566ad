// Start-up as a whole: settings loaded, the "Folder" switch, the main dialog, and the settings
// written at exit and read back by the next start. Each start is driven in-process: the settings
// in memory are forgotten first, as in a new process, and the dialog is closed once it shows.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/QuillonApp.h"
#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "platform/CommandLine.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

struct Seen {
    bool shown = false;
    QString pathText;
    std::vector<QString> folders;
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
            dialog->close();
        });
        poll.start();
        theApp.SetCommandLine(std::move(commandLine));
        EXPECT_FALSE(theApp.InitInstance());
        EXPECT_EQ(theApp.MainWnd(), nullptr);
        return seen;
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
    EXPECT_EQ(second.folders,
              (std::vector<QString>{QStringLiteral("/home/ann/Pictures/"), QStringLiteral("/media/backup/")}));

    // The window's placement went to the profile too.
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
    EXPECT_FALSE(GetProfileString(u"ResizableState", u"QuillonWindowPlacement").empty());
}

} // namespace
