// Moving files to the trash for real: the home trash with its information files, the missing
// data folder, files that changed or vanished since the search, a name that is not UTF-8, and a
// file on a second file system.
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
#include <string>
#include <vector>

#include "platform/NativeName.h"
#include "results/TrashCan.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The names in a folder, as bytes, sorted.
std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What a search saw of the file now.
TrashRequest Seen(const std::string& bytes)
{
    struct stat info {};
    EXPECT_EQ(::lstat(bytes.c_str(), &info), 0) << bytes;
    TrashRequest request;
    request.path = DecodeNativeName(bytes);
    request.known = true;
    request.size = static_cast<uint64_t>(info.st_size);
    request.lastWrite = FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    request.identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
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
             const int64_t seconds = static_cast<int64_t>(seen.lastWrite / 10000000 - 11644473600LL);
             quillon::test::SetMtime(path, seconds, static_cast<long>(seen.lastWrite % 10000000) * 100);
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

TEST_F(TrashCanTest, FileInAFolderWhoseNameIsNotUtf8StaysAndIsReported)
{
    const std::string path = m_tree / "dir\xfe/f.txt";
    WriteFile(path, "x");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    EXPECT_EQ(outcome.result, TrashResult::Failed);
    EXPECT_FALSE(outcome.reason.isEmpty());
    EXPECT_EQ(ReadFile(path), "x");
}

TEST_F(TrashCanTest, AMoveThatEndsOutsideATrashFolderIsUndoneAndReported)
{
    // The data folder vanishes after it was made: this Qt then moves the file into the current
    // folder and reports success.
    const std::string path = m_tree / "f.txt";
    WriteFile(path, "keep me");
    CTrashCan trash;
    ASSERT_TRUE(trash.Prepare());
    quillon::test::RemoveTree(m_root / "missing");
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    EXPECT_EQ(outcome.result, TrashResult::Failed);
    EXPECT_TRUE(outcome.reason.contains(QStringLiteral("outside a trash folder"))) << outcome.reason.toStdString();
    EXPECT_EQ(ReadFile(path), "keep me");
    EXPECT_TRUE(Entries(m_root / "cwd/files").empty());
    EXPECT_TRUE(Entries(m_root / "cwd/info").empty());
    quillon::test::RemoveTree(m_root / "cwd/files");
    quillon::test::RemoveTree(m_root / "cwd/info");
    // The next run of moves makes the folder again.
    ASSERT_TRUE(trash.Prepare());
    EXPECT_EQ(trash.MoveToTrash(Seen(path)).result, TrashResult::Trashed);
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

TEST_F(TrashCanTest, FileOnASecondFileSystemGoesToThatVolumesTrashOrStays)
{
    const std::string mountPoint = m_root / "volume";
    quillon::test::MakeDirs(mountPoint);
    if (::mount("quillon-test", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and a mount namespace that allows it)";
    const std::string path = mountPoint + "/f.txt";
    WriteFile(path, "on another volume");
    CTrashCan trash;
    const TrashOutcome outcome = trash.MoveToTrash(Seen(path));
    const std::string volumeTrash = mountPoint + "/.Trash-" + std::to_string(::getuid()) + "/files/f.txt";
    RecordProperty("outcome", outcome.result == TrashResult::Trashed ? "trashed" : "kept");
    if (outcome.result == TrashResult::Trashed) {
        EXPECT_EQ(outcome.location.toStdString(), volumeTrash);
        EXPECT_EQ(ReadFile(volumeTrash), "on another volume");
        EXPECT_FALSE(Exists(path));
    } else {
        EXPECT_EQ(ReadFile(path), "on another volume") << outcome.reason.toStdString();
    }
    ::umount2(mountPoint.c_str(), MNT_DETACH);
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
