// quillon-find acting on what it finds: keep rules, the trash, hard links and reflinks, the checks
// made just before each file is touched, Ctrl-C, and exclusions during the walk.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cli/DuplicateSets.h"
#include "cli/SetActions.h"
#include "tests/cli/CliProcess.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

struct stat Lstat(const std::string& path)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        status.st_ino = 0;
    return status;
}

std::pair<dev_t, ino_t> Identity(const std::string& path)
{
    const struct stat status = Lstat(path);
    return {status.st_dev, status.st_ino};
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// Every entry below the folder with what lstat says of it (but the access time, which reading
// moves).
std::map<std::string, std::tuple<dev_t, ino_t, mode_t, nlink_t, off_t, long, long, long, long>> Listing(const std::string& folder)
{
    std::map<std::string, std::tuple<dev_t, ino_t, mode_t, nlink_t, off_t, long, long, long, long>> listing;
    const std::function<void(const std::string&)> walk = [&](const std::string& path) {
        const struct stat s = Lstat(path);
        listing[path] = {s.st_dev,         s.st_ino,          s.st_mode,        s.st_nlink,       s.st_size,
                         s.st_mtim.tv_sec, s.st_mtim.tv_nsec, s.st_ctim.tv_sec, s.st_ctim.tv_nsec};
        if (!S_ISDIR(s.st_mode))
            return;
        DIR* dir = opendir(path.c_str());
        if (!dir)
            return;
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir)) {
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        }
        closedir(dir);
        for (const std::string& name : names)
            walk(path + "/" + name);
    };
    walk(folder);
    return listing;
}

std::string TrashFiles()
{
    return std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files";
}

class ActionsTest : public EngineTest {};

}  // namespace

TEST_F(ActionsTest, EachKeepRuleChoosesTheFileThatStays)
{
    WriteFile(dir / "a/longer-name", "one content");
    WriteFile(dir / "b/x", "one content");
    WriteFile(dir / "c/yy", "one content");
    SetMtime(dir / "a/longer-name", 1000);
    SetMtime(dir / "b/x", 3000);
    SetMtime(dir / "c/yy", 1000);
    const std::string rows = RunProcess({dir.Path()}).out;
    const std::string original = rows.substr(rows.find('"') + 1, rows.find('"', rows.find('"') + 1) - rows.find('"') - 1);

    const struct {
        std::vector<std::string> keep;
        std::string kept;  // empty: the set is left alone
    } cases[] = {
        {{}, original},
        {{"--keep", "first"}, original},
        {{"--keep", "newest"}, dir / "b/x"},
        {{"--keep", "shortest"}, dir / "b/x"},
        {{"--keep", "oldest", "--keep", "shortest"}, dir / "c/yy"},
        {{"--keep=oldest", "--keep", "newest", "--keep", "shortest"}, dir / "c/yy"},
        {{"--keep", "in=" + dir / "c"}, dir / "c/yy"},
        {{"--keep", "in=" + dir / "c/../a/"}, dir / "a/longer-name"},
        {{"--keep", "newest", "--keep", "in=" + dir / "a"}, ""},
        {{"--keep", "in=" + dir / "none"}, ""},
    };
    for (const auto& test : cases) {
        std::vector<std::string> args = test.keep;
        args.insert(args.end(), {"--trash", "--dry-run", dir.Path()});
        const Outcome outcome = RunProcess(args);
        SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        const std::vector<std::string> lines = Lines(outcome.out);
        if (test.kept.empty()) {
            ASSERT_EQ(lines.size(), 1u) << outcome.out;
            EXPECT_EQ(lines[0].rfind("left  11  \"", 0), 0u) << lines[0];
            EXPECT_NE(lines[0].find("  no copy under \"" + dir.Path() + "/"), std::string::npos) << lines[0];
            EXPECT_NE(outcome.err.find("Sets left alone: 1"), std::string::npos) << outcome.err;
            continue;
        }
        ASSERT_EQ(lines.size(), 2u) << outcome.out;
        for (const std::string& line : lines) {
            EXPECT_EQ(line.rfind("would-trash  11  \"", 0), 0u) << line;
            EXPECT_TRUE(line.size() > test.kept.size() + 4 &&
                        line.substr(line.size() - test.kept.size() - 4) == "  \"" + test.kept + "\"")
                << line << " keeps " << test.kept;
        }
    }
    EXPECT_EQ(RunProcess({"--keep", "largest", "--trash", dir.Path()}).status, 2);
    EXPECT_EQ(RunProcess({"--keep", "first", dir.Path()}).status, 2) << "--keep without an action";
    EXPECT_EQ(RunProcess({"--dry-run", dir.Path()}).status, 2) << "--dry-run without an action";
    EXPECT_EQ(RunProcess({"--trash", "--hardlink", dir.Path()}).status, 2) << "two actions";
    EXPECT_EQ(RunProcess({"--exclude", "", dir.Path()}).status, 2);
}

TEST_F(ActionsTest, EachActionGivesTheOtherFilesTheKeptContentAndNeverTouchesTheKeptFile)
{
    for (const char* action : {"--trash", "--hardlink"}) {
        SCOPED_TRACE(action);
        RemoveTree(dir / "t");
        RemoveTree(TrashFiles());
        WriteFile(dir / "t/keep/k", "the content");
        WriteFile(dir / "t/other/d1", "the content");
        WriteFile(dir / "t/other/sub/d2", "the content");
        WriteFile(dir / "t/other/unique", "another content");
        const auto kept = Identity(dir / "t/keep/k");
        const Outcome outcome = RunProcess({action, "--keep", "in=" + dir / "t/keep", "--format", "jsonl", dir / "t"});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        const std::string verb = std::string(action) == "--trash" ? "trashed" : "linked";
        const std::vector<std::string> lines = Lines(outcome.out);
        ASSERT_EQ(lines.size(), 2u) << outcome.out;
        for (const std::string& line : lines) {
            EXPECT_EQ(line.rfind("{\"action\": \"" + verb + "\", \"file\": \"" + dir.Path() + "/t/other/", 0), 0u) << line;
            EXPECT_NE(line.find("\"kept\": \"" + dir.Path() + "/t/keep/k\", \"size\": 11}"), std::string::npos) << line;
        }
        EXPECT_NE(outcome.err.find("Acted on: 2  Skipped: 0  Bytes freed: 22 bytes"), std::string::npos) << outcome.err;
        EXPECT_EQ(Identity(dir / "t/keep/k"), kept);
        EXPECT_EQ(ReadFile(dir / "t/keep/k"), "the content");
        EXPECT_EQ(ReadFile(dir / "t/other/unique"), "another content");
        if (verb == "trashed") {
            EXPECT_EQ(Lstat(dir / "t/keep/k").st_nlink, 1u);
            EXPECT_FALSE(Exists(dir / "t/other/d1"));
            EXPECT_FALSE(Exists(dir / "t/other/sub/d2"));
            EXPECT_EQ(ReadFile(TrashFiles() + "/d1"), "the content");
            EXPECT_EQ(ReadFile(TrashFiles() + "/d2"), "the content");
        } else {
            EXPECT_EQ(Lstat(dir / "t/keep/k").st_nlink, 3u);
            for (const char* duplicate : {"t/other/d1", "t/other/sub/d2"}) {
                EXPECT_EQ(Identity(dir / duplicate), kept) << duplicate;
                EXPECT_EQ(ReadFile(dir / duplicate), "the content");
            }
            EXPECT_EQ(Listing(dir / "t/other").size(), 5u) << "no temporary name is left behind";
        }
    }
}

// The search saw the files; then something changes them before the action: each file that is no
// longer as the search saw it, or whose kept file is not, stays exactly as it is now.
TEST_F(ActionsTest, AFileThatIsNoLongerAsTheSearchSawItIsLeftAsItIs)
{
    const struct {
        const char* change;
        std::function<void(const std::string& file, const std::string& kept)> make;
        const char* reason;
    } cases[] = {
        {"rewritten with other bytes of the same size",
         [](const std::string& f, const std::string&) { WriteFile(f, "the CONTENT"); }, "changed since the search"},
        {"replaced by an equal file",
         [](const std::string& f, const std::string&) {
             WriteFile(f + ".new", "the content");
             (void)!rename((f + ".new").c_str(), f.c_str());
         },
         "changed since the search"},
        {"deleted", [](const std::string& f, const std::string&) { unlink(f.c_str()); }, "gone since the search"},
        {"hard-linked to the kept file",
         [](const std::string& f, const std::string& k) {
             unlink(f.c_str());
             (void)!link(k.c_str(), f.c_str());
         },
         "changed since the search"},
        {"kept file deleted", [](const std::string&, const std::string& k) { unlink(k.c_str()); }, "the kept file is gone"},
        {"kept file rewritten", [](const std::string&, const std::string& k) { WriteFile(k, "the content"); },
         "the kept file changed since the search"},
    };
    for (const SetAction action : {SetAction::Trash, SetAction::HardLink, SetAction::Reflink}) {
        for (const auto& test : cases) {
            SCOPED_TRACE(std::string(test.change) + " " + std::to_string(static_cast<int>(action)));
            ResetEngine();
            g_fileSystem = &fs;
            RemoveTree(dir / "s");
            RemoveTree(TrashFiles());
            WriteFile(dir / "s/k", "the content");
            WriteFile(dir / "s/d", "the content");
            Search({dir / "s"});
            std::vector<DuplicateSet> sets = CollectDuplicateSets(g_duplicates, g_fileList);
            ASSERT_EQ(sets.size(), 1u);
            DuplicateSet& set = sets[0];
            ASSERT_EQ(set.files.size(), 2u);
            const size_t kept = set.files[0].path.view() == U(dir / "s/k") ? 0 : 1;

            test.make(dir / "s/d", dir / "s/k");
            const auto before = Listing(dir / "s");
            const ActionOutcome outcome = CSetActions(action, false).Act(set.files[1 - kept], set.files[kept]);
            EXPECT_FALSE(outcome.done);
            EXPECT_EQ(outcome.reason, test.reason);
            EXPECT_EQ(Listing(dir / "s"), before) << "nothing was touched";
            if (Exists(dir / "s/d")) {
                EXPECT_EQ(ReadFile(dir / "s/d").size(), 11u);
            }
            EXPECT_FALSE(Exists(TrashFiles() + "/d"));
        }
    }
}

TEST_F(ActionsTest, NamesWithNewlinesAndBytesThatAreNotUtf8AreActedOnAndShownEscaped)
{
    WriteFile(dir / "keep/k", "same bytes");
    WriteFile(dir / "d\xE9j\xE0/new\nline", "same bytes");
    WriteFile(dir / "other/caf\xE9", "same bytes");
    const auto kept = Identity(dir / "keep/k");
    const Outcome linked = RunProcess({"--hardlink", "--keep", "in=" + dir / "keep", dir.Path()});
    EXPECT_EQ(linked.status, 0) << linked.err;
    EXPECT_NE(linked.out.find("linked  10  \"" + dir.Path() + "/d\\xe9j\\xe0/new\\nline\"  \"" + dir.Path() + "/keep/k\"\n"),
              std::string::npos)
        << linked.out;
    EXPECT_NE(linked.out.find("linked  10  \"" + dir.Path() + "/other/caf\\xe9\""), std::string::npos) << linked.out;
    EXPECT_EQ(Identity(dir / "d\xE9j\xE0/new\nline"), kept);
    EXPECT_EQ(Identity(dir / "other/caf\xE9"), kept);

    // The trash takes them too, and its record gives back the exact bytes of the path.
    RemoveTree(dir.Path());
    MakeDirs(dir.Path());
    WriteFile(dir / "keep/k", "same bytes");
    WriteFile(dir / "d\xE9j\xE0/new\nline", "same bytes");
    const Outcome trashed = RunProcess({"--trash", "--format", "jsonl", "--keep", "in=" + dir / "keep", dir.Path()});
    EXPECT_EQ(trashed.status, 0) << trashed.err;
    EXPECT_NE(trashed.out.find("\"file\": \"" + dir.Path() + "/d\\udce9j\\udce0/new\\nline\""), std::string::npos) << trashed.out;
    EXPECT_FALSE(Exists(dir / "d\xE9j\xE0/new\nline"));
    EXPECT_EQ(ReadFile(TrashFiles() + "/new\nline"), "same bytes");
    const std::string info = ReadFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/info/new\nline.trashinfo");
    EXPECT_NE(info.find("/d%E9j%E0/new%0Aline\n"), std::string::npos) << info;
}

TEST_F(ActionsTest, DryRunChangesNothing)
{
    WriteFile(dir / "keep/k", "some bytes");
    WriteFile(dir / "a/d1", "some bytes");
    WriteFile(dir / "a/b/d2", "some bytes");
    WriteFile(dir / "a/odd\n\xFF", "some bytes");
    for (const char* action : {"--trash", "--hardlink", "--reflink"}) {
        const auto before = Listing(dir.Path());
        const auto trashBefore = Listing(std::getenv("XDG_DATA_HOME"));
        const Outcome outcome = RunProcess({action, "--dry-run", "--keep", "in=" + dir / "keep", dir.Path()});
        EXPECT_EQ(outcome.status, 0) << action << outcome.err;
        EXPECT_EQ(Lines(outcome.out).size(), 3u) << outcome.out;
        EXPECT_NE(outcome.err.find("Dry run, would act on: 3  Skipped: 0  Would free: 30 bytes"), std::string::npos)
            << outcome.err;
        EXPECT_EQ(Listing(dir.Path()), before) << action;
        EXPECT_EQ(Listing(std::getenv("XDG_DATA_HOME")), trashBefore) << action;
    }
}

// However often Ctrl-C comes during a long run of actions, every file is whole at its path: the
// ones acted on are links to their kept file, the others as they were, and no temporary name is
// left.
TEST_F(ActionsTest, InterruptsDuringTwoThousandActionsLeaveEveryFileWhole)
{
    constexpr int kSets = 2000;
    const std::string block = RandomBytes(16384, 7);
    for (int i = 0; i < kSets; ++i)
        WriteFile(dir / Joined("keep/", i), Joined(i, block));
    // On a busy machine the interrupt may come only after the last action: such a run proves
    // nothing about an interrupted one, so it is tried again (its files are checked all the same).
    for (const int interrupts : {1, 2}) {
        SCOPED_TRACE(interrupts);
        bool interrupted = false;
        for (int attempt = 0; attempt < 8 && !interrupted; ++attempt) {
            RemoveTree(dir / "other");
            for (int i = 0; i < kSets; ++i)
                WriteFile(dir / Joined("other/", i), Joined(i, block));
            const std::string outName = dir / "out";
            const int outFd = open(outName.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
            std::string binary = Binary();
            std::vector<std::string> args = {"--hardlink",         "--no-cache", "--keep",
                                             "in=" + dir / "keep", dir / "keep", dir / "other"};
            const pid_t child = fork();
            if (child == 0) {
                dup2(outFd, 1);
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, 2);
                execv(binary.c_str(), Argv(binary, args).data());
                _exit(127);
            }
            // Waits for the first lines of actions, then interrupts.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (Lstat(outName).st_size < 2000 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            for (int n = 0; n < interrupts; ++n)
                kill(child, SIGINT);
            int status = 0;
            waitpid(child, &status, 0);
            close(outFd);
            const size_t done = Lines(ReadFile(outName)).size();
            EXPECT_GT(done, 0u);
            size_t linked = 0;
            for (int i = 0; i < kSets; ++i) {
                const std::string other = dir / Joined("other/", i);
                ASSERT_EQ(ReadFile(other), Joined(i, block)) << other;
                linked += Identity(other) == Identity(dir / Joined("keep/", i));
            }
            EXPECT_EQ(linked, done) << "each line is one link made";
            EXPECT_EQ(Listing(dir / "other").size(), static_cast<size_t>(kSets) + 1) << "no temporary name is left";
            interrupted = done < static_cast<size_t>(kSets);
            if (interrupted)
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
            else
                EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 130)) << status;
        }
        EXPECT_TRUE(interrupted) << "the interrupt came after the last action in every attempt";
    }
}

// Where the file system cannot share blocks, or a hard link cannot join two file systems, the
// file is reported, left as it is, and the status says so.
TEST_F(ActionsTest, ReflinksAndLinksThatTheFileSystemRefusesAreReportedAndChangeNothing)
{
    const std::string shm = Joined("/dev/shm/quillon-actions-", getpid());
    struct stat tmp {
    }, mem{};
    stat(dir.Path().c_str(), &tmp);
    const bool shmUsable = stat("/dev/shm", &mem) == 0 && mem.st_dev != tmp.st_dev;
    const struct {
        std::string action, keep, other, reason;
    } cases[] = {
        {"--reflink", dir / "k", dir / "o", "the file system cannot share blocks"},
        {"--reflink", shm + "/k", shm + "/o", "the file system cannot share blocks"},
        {"--hardlink", dir / "k", shm + "/o", "on another file system than the kept file"},
    };
    for (const auto& test : cases) {
        if (!shmUsable && test.other.rfind(shm, 0) == 0)
            continue;
        SCOPED_TRACE(test.action + " " + test.other);
        WriteFile(test.keep + "/f", "shared bytes");
        WriteFile(test.other + "/f", "shared bytes");
        const auto before = Listing(test.other);
        const Outcome outcome = RunProcess({test.action, "--keep", "in=" + test.keep, test.keep, test.other});
        EXPECT_EQ(outcome.status, 1) << outcome.out << outcome.err;
        EXPECT_NE(outcome.out.find("skipped  12  \"" + test.other + "/f\"  \"" + test.keep + "/f\"  " + test.reason),
                  std::string::npos)
            << outcome.out;
        EXPECT_NE(outcome.err.find("Acted on: 0  Skipped: 1"), std::string::npos) << outcome.err;
        EXPECT_EQ(Listing(test.other), before);
        RemoveTree(test.keep);
        RemoveTree(test.other);
    }
    RemoveTree(shm);
}

// As root, on an XFS image with reflinks mounted through a loop device, the files come to share
// the kept file's blocks and keep their own inode and time.
TEST_F(ActionsTest, ReflinksShareTheKeptFilesBlocksOnAFileSystemThatCan)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount an XFS image through a loop device";
    if (system("command -v mkfs.xfs >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "mkfs.xfs is not installed (apt-get install xfsprogs)";
    const std::string image = dir / "xfs.img";
    const std::string mountPoint = dir / "mnt";
    MakeDirs(mountPoint);
    if (system(("truncate -s 300M '" + image + "' && mkfs.xfs -q -m reflink=1 '" + image + "' >/dev/null 2>&1").c_str()) != 0 ||
        system(("mount -o loop '" + image + "' '" + mountPoint + "' >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "cannot make or mount an XFS image through a loop device here";
    const std::string content = RandomBytes(1 << 20, 3);
    WriteFile(mountPoint + "/keep/k", content);
    WriteFile(mountPoint + "/other/d", content);
    SetMtime(mountPoint + "/other/d", 1234567890, 123456789);
    const auto other = Identity(mountPoint + "/other/d");
    const Outcome outcome = RunProcess({"--reflink", "--keep", "in=" + mountPoint + "/keep", mountPoint});
    const struct stat after = Lstat(mountPoint + "/other/d");
    const std::string read = ReadFile(mountPoint + "/other/d");
    std::string extents;
    if (FILE* pipe = popen(("xfs_io -c 'fiemap -v' '" + mountPoint + "/other/d' 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        while (size_t got = fread(buffer, 1, sizeof buffer, pipe))
            extents.append(buffer, got);
        pclose(pipe);
    }
    (void)!system(("umount '" + mountPoint + "'").c_str());
    EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
    EXPECT_NE(outcome.out.find("cloned  1048576  \"" + mountPoint + "/other/d\""), std::string::npos) << outcome.out;
    EXPECT_EQ(read, content);
    EXPECT_EQ(std::make_pair(after.st_dev, after.st_ino), other) << "the file keeps its inode";
    EXPECT_EQ(after.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(after.st_mtim.tv_nsec, 123456789);
    if (const size_t flags = extents.rfind(" 0x"); flags != std::string::npos) {
        EXPECT_NE(std::stoul(extents.substr(flags + 1), nullptr, 16) & 0x2000, 0u) << "the extent is shared:\n" << extents;
    }
}

// An IFileSystem that records every folder listed and every file opened.
class RecordingFileSystem : public IFileSystem {
public:
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        folders.emplace_back(path);
        return CPosixFileSystem::Instance().OpenFolder(path);
    }
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            files.emplace_back(path);
        }
        return CPosixFileSystem::Instance().OpenFile(path);
    }
    std::vector<std::u16string> folders;
    std::vector<std::u16string> files;

private:
    std::mutex m_mutex;
};

TEST_F(ActionsTest, ExclusionsLeaveNamesOutBeforeAnyFileIsOpened)
{
    for (const char* name : {"keep/a", "keep/b", "skip.tmp", "node_modules/x", "other/node_modules", ".hidden", "deep/.cache/y"})
        WriteFile(dir / name, "one content");
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> left;  // never opened nor listed, nor in a row
        size_t files;                   // listed
    } cases[] = {
        {{"--exclude", "*.TMP"}, {"skip.tmp"}, 6},
        {{"--exclude", "node_modules/"}, {"node_modules/"}, 6},  // the file of that name stays
        {{"--exclude", "node_modules"}, {"node_modules/", "other/node_modules"}, 5},
        {{"--exclude-hidden"}, {".hidden", "deep/.cache"}, 5},
        {{"--exclude", dir / "keep/b"}, {"keep/b"}, 6},
        {{"--exclude", "*/keep/*;*/x", "--exclude=.*/"}, {"keep/a", "keep/b", "node_modules/x", "deep/.cache"}, 3},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.options[0] + " " + (test.options.size() > 1 ? test.options[1] : ""));
        RecordingFileSystem recording;
        g_fileSystem = &recording;
        std::vector<std::string> args = test.options;
        args.push_back(dir.Path());
        const Outcome outcome = RunInProcess(args);
        g_fileSystem = &fs;
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        std::set<std::u16string> touched(recording.files.begin(), recording.files.end());
        touched.insert(recording.folders.begin(), recording.folders.end());
        for (const std::string& left : test.left) {
            const std::string path = dir / (left.back() == '/' ? left.substr(0, left.size() - 1) : left);
            for (const std::u16string& opened : touched)
                EXPECT_FALSE(opened == U(path) || opened.rfind(U(path + "/"), 0) == 0) << left << " was opened";
            EXPECT_EQ(outcome.out.find(path + (left.back() == '/' ? "/" : "\"")), std::string::npos) << outcome.out;
        }
        EXPECT_NE(outcome.err.find(Joined("Files: ", test.files, " ")), std::string::npos) << outcome.err;
    }
}
