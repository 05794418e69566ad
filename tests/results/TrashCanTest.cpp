// Moving files to the trash for real: the home trash with its information files, the missing
// data folder, files that changed or vanished since the search, copies that stay and must still
// be equal, names and folders that are not UTF-8, and a file on a second file system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileCheck.h"
#include "platform/NativeName.h"
#include "results/TrashCan.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

using quillon::test::Entries;
using quillon::test::Exists;
using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

// What a search saw of the file now.
TrashRequest Seen(const std::string& bytes)
{
    const std::optional<FileSeen> seen = CFileCheck::Look(bytes);
    EXPECT_TRUE(seen) << bytes;
    TrashRequest request;
    request.path = DecodeNativeName(bytes);
    request.known = true;
    request.seen = seen.value_or(FileSeen{});
    return request;
}

// Each test has its own data folder (not made yet) and runs in a folder of its own, where a
// misdirected trash would show up.
class TrashCanTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_oldData = std::getenv("XDG_DATA_HOME");
        m_data = m_root / "missing/data";
        setenv("XDG_DATA_HOME", m_data.c_str(), 1);
        quillon::test::MakeDirs(m_root / "cwd");
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(m_root / "cwd"));
    }
    void TearDown() override
    {
        QDir::setCurrent(m_oldCwd);
        setenv("XDG_DATA_HOME", m_oldData.c_str(), 1);
        EXPECT_TRUE(QDir(QString::fromStdString(m_root / "cwd")).isEmpty()) << "something landed in the current folder";
    }

    std::string TrashInfo(const std::string& name) const { return ReadFile(m_data + "/Trash/info/" + name + ".trashinfo"); }

    TempDir m_root{"quillon-trash"};
    TempDir m_tree{"quillon-tree"};
    std::string m_data;
    std::string m_oldData;
    QString m_oldCwd;
};

TEST_F(TrashCanTest, FileGoesToTheHomeTrashWithItsOriginalPathEvenWhenTheDataFolderWasMissing)
{
    const std::string path = m_tree / "a b/100%.jpg";
    WriteFile(path, "content");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    ASSERT_EQ(outcome.result, TrashResult::Trashed) << outcome.reason.toStdString();
    EXPECT_EQ(outcome.location.toStdString(), m_data + "/Trash/files/100%.jpg");
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(ReadFile(m_data + "/Trash/files/100%.jpg"), "content");
    // Escaped as the trash wants it, so that a restore finds "100%.jpg" in "a b".
    EXPECT_NE(TrashInfo("100%.jpg").find("\nPath=" + m_tree.Path() + "/a%20b/100%25.jpg\n"), std::string::npos);
    EXPECT_EQ(Entries(m_data + "/Trash/info"), std::vector<std::string>{"100%.jpg.trashinfo"});
}

TEST_F(TrashCanTest, AFileThatChangedOrVanishedSinceTheSearchIsKept)
{
    const std::string path = m_tree / "f.txt";
    const struct {
        const char* what;
        std::function<void(TrashRequest&)> change;
        TrashResult result;
    } cases[] = {
        {"grown", [&](TrashRequest&) { WriteFile(path, "content and more"); }, TrashResult::Changed},
        {"touched", [&](TrashRequest&) { quillon::test::SetMtime(path, 1000000); }, TrashResult::Changed},
        {"replaced by an equal file",
         [&](TrashRequest& seen) {
             ::unlink(path.c_str());
             const std::string other = m_tree / "other.txt";
             WriteFile(other, "content");
             // Another file of the same size and time takes the name (the old inode is kept alive
             // by a link, so the new file cannot reuse it).
             ::rename(other.c_str(), path.c_str());
             const int64_t seconds = static_cast<int64_t>(seen.seen.lastWrite / 10000000 - 11644473600LL);
             quillon::test::SetMtime(path, seconds, static_cast<long>(seen.seen.lastWrite % 10000000) * 100);
         },
         TrashResult::Changed},
        {"gone", [&](TrashRequest&) { ::unlink(path.c_str()); }, TrashResult::Gone},
        {"unknown to the search", [&](TrashRequest& seen) { seen.known = false; }, TrashResult::Changed},
    };
    CTrashCan trash;
    for (const auto& c : cases) {
        WriteFile(path, "content");
        const std::string keep = m_tree / "keep-alive";
        ::unlink(keep.c_str());
        ASSERT_EQ(::link(path.c_str(), keep.c_str()), 0);
        TrashRequest seen = Seen(path);
        c.change(seen);
        const TrashOutcome outcome = trash.MoveToTrash(seen);
        EXPECT_EQ(outcome.result, c.result) << c.what;
        EXPECT_EQ(Exists(path), c.result != TrashResult::Gone) << c.what;
    }
    EXPECT_TRUE(Entries(m_data + "/Trash/files").empty());
}

TEST_F(TrashCanTest, NameThatIsNotUtf8IsTrashedUnderItsExactBytes)
{
    const std::string name = "caf\xe9 \xff.txt";
    const std::string path = m_tree / name;
    WriteFile(path, "latin-1");
    WriteFile(m_tree / "neighbour.txt", "stays");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    ASSERT_EQ(outcome.result, TrashResult::Trashed) << outcome.reason.toStdString();
    EXPECT_EQ(EncodeNativeName(outcome.location.toStdU16String()), m_data + "/Trash/files/" + name);
    EXPECT_EQ(ReadFile(m_data + "/Trash/files/" + name), "latin-1");
    EXPECT_NE(TrashInfo(name).find("Path=" + m_tree.Path() + "/caf%E9%20%FF.txt\n"), std::string::npos);
    // Nothing else in the trash, nothing left in the folder but the neighbour.
    EXPECT_EQ(Entries(m_data + "/Trash/files"), std::vector<std::string>{name});
    EXPECT_EQ(Entries(m_data + "/Trash/info"), std::vector<std::string>{name + ".trashinfo"});
    EXPECT_EQ(Entries(m_tree.Path()), std::vector<std::string>{"neighbour.txt"});
}

TEST_F(TrashCanTest, FileInAFolderWhoseNameIsNotUtf8IsTrashedAndNamedByItsBytes)
{
    const std::string path = m_tree / "dir\xfe/f\x80.txt";
    WriteFile(path, "x");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    ASSERT_EQ(outcome.result, TrashResult::Trashed) << outcome.reason.toStdString();
    EXPECT_EQ(EncodeNativeName(outcome.location.toStdU16String()), m_data + "/Trash/files/f\x80.txt");
    EXPECT_FALSE(Exists(path));
    EXPECT_NE(TrashInfo("f\x80.txt").find("\nPath=" + m_tree.Path() + "/dir%FE/f%80.txt\n"), std::string::npos);
}

TEST_F(TrashCanTest, ADataFolderRemovedAfterItWasMadeIsMadeAgainAndNothingLandsElsewhere)
{
    const std::string path = m_tree / "f.txt";
    WriteFile(path, "keep me");
    CTrashCan trash;
    ASSERT_TRUE(trash.Prepare());
    quillon::test::RemoveTree(m_root / "missing");
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    ASSERT_EQ(outcome.result, TrashResult::Trashed) << outcome.reason.toStdString();
    EXPECT_EQ(ReadFile(m_data + "/Trash/files/f.txt"), "keep me");
}

TEST_F(TrashCanTest, DataFolderThatCannotBeMadeRefusesEveryMove)
{
    WriteFile(m_root / "plain-file", "");
    setenv("XDG_DATA_HOME", (m_root / "plain-file/data").c_str(), 1);
    const std::string path = m_tree / "f.txt";
    WriteFile(path, "x");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    EXPECT_EQ(outcome.result, TrashResult::Failed);
    EXPECT_EQ(ReadFile(path), "x");
}

TEST_F(TrashCanTest, FileOnASecondFileSystemGoesToThatVolumesTrash)
{
    const std::string mountPoint = m_root / "volume";
    quillon::test::MakeDirs(mountPoint);
    if (::mount("quillon-test", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and a mount namespace that allows it)";
    const std::string path = mountPoint + "/sub/f.txt";
    WriteFile(path, "on another volume");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    const std::string volumeTrash = mountPoint + "/.Trash-" + std::to_string(::getuid());
    EXPECT_EQ(outcome.result, TrashResult::Trashed) << outcome.reason.toStdString();
    EXPECT_EQ(outcome.location.toStdString(), volumeTrash + "/files/f.txt");
    EXPECT_EQ(ReadFile(volumeTrash + "/files/f.txt"), "on another volume");
    EXPECT_NE(ReadFile(volumeTrash + "/info/f.txt.trashinfo").find("\nPath=sub/f.txt\n"), std::string::npos);
    EXPECT_FALSE(Exists(path));
    ::umount2(mountPoint.c_str(), MNT_DETACH);
}

TEST_F(TrashCanTest, AFileMovesOnlyWhileACopyThatStaysIsStillTheFileSeenAndEqualToIt)
{
    const std::string path = m_tree / "marked.bin";
    const std::string content = std::string(300000, 'c') + "end";  // longer than one read
    const struct {
        const char* what;
        std::vector<std::string> copies;                              // names of the copies that stay
        std::function<void(std::vector<TrashCopy>&)> sinceTheSearch;  // what happens before the move
        TrashResult result;
        const char* reason;  // a part of the reason; the first copy is "<copy>"
    } cases[] = {
        {"an intact copy", {"copy"}, [](std::vector<TrashCopy>&) {}, TrashResult::Trashed, ""},
        {"the copy deleted",
         {"copy"},
         [&](std::vector<TrashCopy>&) { ::unlink((m_tree / "copy").c_str()); },
         TrashResult::CopyFailed,
         "its copy \"<copy>\" no longer exists"},
        {"the copy changed: same size, other bytes",
         {"copy"},
         [&](std::vector<TrashCopy>&) {
             WriteFile(m_tree / "copy", std::string(300000, 'c') + "END");
             quillon::test::SetMtime(m_tree / "copy", 1000000);  // later than the search, as any real change is
         },
         TrashResult::CopyFailed,
         "its copy \"<copy>\" changed since the search"},
        {"bytes that differ although the search saw one content (a digest collision)",
         {"copy"},
         [&](std::vector<TrashCopy>& copies) {
             WriteFile(m_tree / "copy", std::string(300000, 'c') + "END");
             copies[0].seen = *CFileCheck::Look(m_tree / "copy");
         },
         TrashResult::CopyFailed,
         "it is not equal to its copy \"<copy>\" byte for byte"},
        {"the copy unknown to the search",
         {"copy"},
         [](std::vector<TrashCopy>& copies) { copies[0].known = false; },
         TrashResult::CopyFailed,
         "its copy \"<copy>\" is not a file of the last search"},
        {"the first copy deleted, the second intact",
         {"copy", "second"},
         [&](std::vector<TrashCopy>&) { ::unlink((m_tree / "copy").c_str()); },
         TrashResult::Trashed,
         ""},
        {"both copies deleted",
         {"copy", "second"},
         [&](std::vector<TrashCopy>&) {
             ::unlink((m_tree / "copy").c_str());
             ::unlink((m_tree / "second").c_str());
         },
         TrashResult::CopyFailed,
         "its copy \"<copy>\" no longer exists; its 1 other copies failed the same check"},
        {"every copy marked: nothing to compare", {}, [](std::vector<TrashCopy>&) {}, TrashResult::Trashed, ""},
    };
    CTrashCan trash;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        quillon::test::RemoveTree(m_data + "/Trash");
        WriteFile(path, content);
        std::vector<TrashCopy> copies;
        for (const std::string& name : c.copies) {
            WriteFile(m_tree / name, content);
            copies.push_back({DecodeNativeName(m_tree / name), true, *CFileCheck::Look(m_tree / name)});
        }
        TrashRequest request = Seen(path);
        c.sinceTheSearch(copies);
        request.copies = std::make_shared<const std::vector<TrashCopy>>(copies);
        const TrashOutcome outcome = trash.MoveToTrash(request);
        EXPECT_EQ(outcome.result, c.result) << outcome.reason.toStdString();
        QString reason = QString::fromUtf8(c.reason);
        reason.replace(QStringLiteral("<copy>"), QString::fromStdString(m_tree / "copy"));
        EXPECT_EQ(outcome.reason, reason);
        if (c.result == TrashResult::Trashed) {
            EXPECT_EQ(ReadFile(m_data + "/Trash/files/marked.bin"), content);
        } else {
            EXPECT_EQ(ReadFile(path), content) << "kept as it was";
            EXPECT_TRUE(Entries(m_data + "/Trash/files").empty());
        }
    }
}

TEST(TrashCan, OnlyTheFilesFolderOfATrashCountsAsInsideIt)
{
    const struct {
        const char* path;
        bool inside;
    } cases[] = {
        {"/home/u/.local/share/Trash/files/a.txt", true},
        {"/mnt/usb/.Trash-1000/files/a.txt", true},
        {"/mnt/usb/.Trash/1000/files/a.txt", true},
        {"/mnt/usb/.Trash/files/a.txt", false},
        {"files/a.txt", false},  // relative: the current folder
        {"Trash/files/a.txt", false},
        {"/home/u/.local/share/Trash/info/a.txt", false},
        {"/home/u/.local/share/Trash/files/", false},
        {"/home/u/.local/share/Trash/files/../../a.txt", false},
        {"/tmp/files/a.txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTrashCan::IsInsideTrash(QString::fromUtf8(c.path)), c.inside) << c.path;
}

}  // namespace
