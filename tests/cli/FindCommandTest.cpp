#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/ioctl.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/FindCommand.h"
#include "cli/ProgressLine.h"
#include "cli/RowText.h"
#include "engine/SearchRun.h"
#include "tests/cli/CliProcess.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

// Collects what a program writes on a terminal: the master side of a pseudo-terminal, read on a
// thread of its own until the last descriptor of the terminal side closes, so that a test can
// wait until a given text has been drawn.
class TerminalReader {
public:
    explicit TerminalReader(int master) : m_master(master), m_thread([this] { Loop(); }) {}
    ~TerminalReader()
    {
        m_thread.join();
        close(m_master);
    }
    // Waits until the text has appeared (or the terminal closed, or half a minute passed: then
    // the caller's expectations fail instead of the test hanging).
    bool WaitFor(const std::string& text)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30),
                                  [&] { return m_text.find(text) != std::string::npos || m_closed; }) &&
            m_text.find(text) != std::string::npos;
    }
    // Everything read, once the terminal side has closed.
    std::string All()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed; });
        return m_text;
    }

private:
    void Loop()
    {
        char buffer[4096];
        ssize_t got;
        while ((got = read(m_master, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (got > 0)
                m_text.append(buffer, static_cast<size_t>(got));
            m_changed.notify_all();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;  // EIO: no descriptor of the terminal side is open any more
        m_changed.notify_all();
    }

    const int m_master;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_text;
    bool m_closed = false;
    std::thread m_thread;
};

// Runs the quillon-find binary on a pseudo-terminal and returns what it drew there.
std::string RunOnTerminal(const std::vector<std::string>& args)
{
    std::string binary = Binary();
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 24;
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        execv(binary.c_str(), Argv(binary, args).data());
        _exit(127);
    }
    if (child < 0)
        return "forkpty failed";
    std::string text;
    {
        TerminalReader reader(master);
        text = reader.All();
    }
    waitpid(child, nullptr, 0);
    return text;
}

// A child's way to the search as a user that cannot read what root can: root drops to nobody.
void DropPrivileges()
{
    if (getuid() != 0)
        return;
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        _exit(126);
}

// Whether the text is one row of text form that pairs the two quoted paths, in either order
// (which file of a pair is the original follows the order of the folder listing).
bool IsOneRow(const std::string& text, int size, const std::string& one, const std::string& other)
{
    const std::string prefix = std::to_string(size) + "  \"";
    return text == prefix + one + "\"  \"" + other + "\"\n" || text == prefix + other + "\"  \"" + one + "\"\n";
}

// The text of the JSON string literal that starts at `at` (just after its opening quote), with
// the escapes quillon-find writes undone; `at` moves past the closing quote.
std::u16string JsonStringAt(const std::string& json, size_t& at)
{
    std::string utf8;
    std::u16string text;
    const auto flush = [&] {
        text += DecodeNativeName(utf8);
        utf8.clear();
    };
    while (at < json.size() && json[at] != '"') {
        if (json[at] != '\\') {
            utf8 += json[at++];
            continue;
        }
        const char escape = json[at + 1];
        at += 2;
        if (escape == 'u') {
            flush();
            text += static_cast<char16_t>(std::stoul(json.substr(at, 4), nullptr, 16));
            at += 4;
        } else {
            utf8 += escape == 'n' ? '\n' : escape == 't' ? '\t' : escape == 'r' ? '\r' : escape;
        }
    }
    flush();
    ++at;
    return text;
}

class FindCommandTest : public EngineTest {};

}  // namespace

TEST_F(FindCommandTest, JsonLinesCarryBytesThatAreNotUtf8AsEscapes)
{
    WriteFile(dir / "1/caf\xE9 \"x\".txt", "same");
    WriteFile(dir / "2/b", "same");
    const Outcome outcome = RunProcess({"--format", "jsonl", dir / "1", dir / "2"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out,
              "{\"original\": \"" + dir.Path() + "/2/b\", \"duplicate\": \"" + dir.Path() +
                  "/1/caf\\udce9 \\\"x\\\".txt\", \"size\": 4}\n");
    EXPECT_NE(outcome.err.find("Files: 2  Dups: 1  Size of duplicates: 4 bytes  Elapsed Time: 00:00:0"), std::string::npos)
        << outcome.err;

    // Decoded again, the duplicate's name gives back the file's exact bytes.
    size_t at = outcome.out.find("\"duplicate\": \"") + 14;
    const std::string bytes = EncodeNativeName(JsonStringAt(outcome.out, at));
    EXPECT_EQ(bytes, dir / "1/caf\xE9 \"x\".txt");
    EXPECT_EQ(ReadFile(bytes), "same");
}

TEST_F(FindCommandTest, TextRowsQuoteEveryPathUnambiguously)
{
    WriteFile(dir / "1/with blank", "same");
    WriteFile(dir / "2/tab\there", "same");
    WriteFile(dir / "2/x", "other content");
    const Outcome outcome = RunProcess({dir / "1", "--format=text", dir / "2"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "4  \"" + dir.Path() + "/2/tab\\there\"  \"" + dir.Path() + "/1/with blank\"\n");
}

TEST_F(FindCommandTest, RelativeFoldersAreMadeAbsoluteAndSizeBoundsApply)
{
    WriteFile(dir / "1/a", std::string(3000, 'a'));
    WriteFile(dir / "1/b", std::string(3000, 'a'));
    WriteFile(dir / "1/c", std::string(100, 'c'));
    WriteFile(dir / "1/d", std::string(100, 'c'));
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const Outcome outcome = RunProcess({"--from", "1", "--to", "3", "--format", "jsonl", "./1/../1"});
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.out.find("\"" + dir.Path() + "/1/"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("\"size\": 3000"), std::string::npos);
    EXPECT_EQ(outcome.out.find("\"size\": 100"), std::string::npos) << "100 bytes is not above 1 KB";
}

TEST_F(FindCommandTest, ExitStatusTellsUsageErrorsMissingFoldersAndSuccess)
{
    WriteFile(dir / "file", "x");
    EXPECT_EQ(RunProcess({dir.Path()}).status, 0) << "no duplicates is still a successful search";
    const Outcome missing = RunProcess({dir / "missing", dir / "file", dir.Path()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(dir / "missing"), std::string::npos);
    EXPECT_NE(missing.err.find("not a folder"), std::string::npos);
    EXPECT_NE(missing.err.find("Files: 1"), std::string::npos) << "the other folder was still searched";

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--format", "xml", "."}, {"--bogus", "."}, {"--from"}}) {
        const Outcome usage = RunProcess(bad);
        EXPECT_EQ(usage.status, 2);
        EXPECT_NE(usage.err.find("Usage: quillon-find"), std::string::npos);
        EXPECT_TRUE(usage.out.empty());
    }
    const Outcome help = RunProcess({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--format jsonl"), std::string::npos);
    EXPECT_EQ(RunProcess({"--version"}).out, "quillon-find 1.10.0\n");
}

TEST_F(FindCommandTest, ProgressLineIsDrawnOnlyWhenAskedOrOnATerminal)
{
    WriteFile(dir / "a", "same");
    EXPECT_EQ(RunProcess({dir.Path()}).err.find("\033[K"), std::string::npos);
    EXPECT_NE(RunProcess({"--progress", dir.Path()}).err.find("\033[K"), std::string::npos);
    EXPECT_EQ(RunProcess({"--progress", "--no-progress", dir.Path()}).err.find("\033[K"), std::string::npos);
    // On a terminal by default: drawn from the start, erased before the totals.
    const std::string drawn = RunOnTerminal({dir.Path()});
    EXPECT_EQ(drawn.rfind("\r\033[KScanning  Files: 0  00:00:00.", 0), 0u) << drawn;
    EXPECT_NE(drawn.find("\r\033[KFiles: 1  Dups: 0"), std::string::npos) << drawn;
}

TEST_F(FindCommandTest, InterruptDuringPairingPrintsTheRowsMadeAndExits130)
{
    WriteFile(dir / "1/small", "small");
    WriteFile(dir / "2/small", "small");
    WriteFile(dir / "1/big", std::string(300000, 'b'));
    WriteFile(dir / "2/big", std::string(300000, 'b'));
    static std::atomic<bool> raised;
    raised = false;
    fs.beforeOpenFile = [](const std::u16string&) {
        // Files are opened on two threads at once: interrupt exactly once.
        if (g_searchState == ESearchState::Pairing && !raised.exchange(true))
            raise(SIGINT);
    };
    const Outcome outcome = RunInProcess({"--format", "jsonl", dir / "1", dir / "2"});
    EXPECT_EQ(outcome.status, 130);
    EXPECT_EQ(outcome.out,
              "{\"original\": \"" + dir.Path() + "/2/small\", \"duplicate\": \"" + dir.Path() + "/1/small\", \"size\": 5}\n");
    EXPECT_NE(outcome.err.find("Stopped."), std::string::npos);
}

TEST_F(FindCommandTest, InterruptDuringTheScanPrintsNoRows)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    // Raise the interrupt when the scan opens its second folder (each FOLDER is opened once
    // before, to see that it can be listed).
    class Interrupting : public FaultFileSystem {
    public:
        std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
        {
            if (g_searchState == ESearchState::Scanning && ++opens == 2)
                raise(SIGINT);
            return FaultFileSystem::OpenFolder(path);
        }
        int opens = 0;
    } interrupting;
    g_fileSystem = &interrupting;
    const Outcome outcome = RunInProcess({dir / "1", dir / "2"});
    EXPECT_EQ(outcome.status, 130);
    EXPECT_TRUE(outcome.out.empty());
    EXPECT_NE(outcome.err.find("Dups: 0"), std::string::npos);
}

TEST_F(FindCommandTest, SecondInterruptEndsTheProgramAtOnce)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    fs.beforeOpenFile = [](const std::u16string&) {
        raise(SIGINT);
        raise(SIGINT);
    };
    const std::string one = dir / "1", two = dir / "2";
    EXPECT_EXIT(RunInProcess({one, two}), ::testing::ExitedWithCode(130), "");
}

TEST_F(FindCommandTest, SizeBoundsOtherThanAPlainCountOfKilobytesAreUsageErrors)
{
    WriteFile(dir / "a", "x");
    const struct {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"--from", "abc"}, "'--from'"},
        {{"--from", "0.5"}, "'--from'"},
        {{"--to", "1x"}, "'--to'"},
        {{"--from", "-1"}, "'--from'"},
        {{"--from=+1"}, "'--from'"},
        {{"--to", " 3"}, "'--to'"},
        {{"--to="}, "'--to'"},
        {{"--from", "18014398509481984"}, "'--from'"},  // 2^54 KB would be 0 bytes
        {{"--to", "18014398509481985"}, "'--to'"},      // would be 1 KB
        {{"--from", "99999999999999999999999"}, "'--from'"},
        {{"--from", "5", "--to", "1"}, "--from 5 is not below --to 1"},
        {{"--from", "5", "--to", "5"}, "--from 5 is not below --to 5"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back(dir.Path());
        const Outcome outcome = RunProcess(args);
        EXPECT_EQ(outcome.status, 2) << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_NE(outcome.err.find(c.named), std::string::npos) << outcome.err;
        EXPECT_TRUE(outcome.out.empty());
        EXPECT_EQ(outcome.err.find("Files:"), std::string::npos) << "no search after a usage error";
    }
    for (const std::vector<std::string>& good :
         {std::vector<std::string>{"--to", "18014398509481983"}, {"--from", "007", "--to", "8"}, {"--from", "5", "--to", "0"}}) {
        std::vector<std::string> args = good;
        args.push_back(dir.Path());
        EXPECT_EQ(RunProcess(args).status, 0) << good[1];
    }
}

TEST_F(FindCommandTest, DeletedCurrentFolderIsAnErrorNotTheRoot)
{
    WriteFile(dir / "kept/a", "same");
    WriteFile(dir / "kept/b", "same");
    MakeDirs(dir / "gone");
    const std::string gone = dir / "gone";
    // The child moves into a folder and removes it, as a shell left in a deleted folder is.
    const Outcome outcome = RunProcess({".", "..", dir / "kept"}, [&] {
        if (chdir(gone.c_str()) != 0 || rmdir(gone.c_str()) != 0)
            _exit(126);
    });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("\".\": the current folder cannot be read"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("\"..\": the current folder cannot be read"), std::string::npos);
    EXPECT_NE(outcome.err.find("Files: 2  Dups: 1"), std::string::npos) << "only the folder that exists: " << outcome.err;
}

TEST_F(FindCommandTest, FolderBehindALinkIsResolvedAsTheSystemResolvesIt)
{
    WriteFile(dir / "real/x/1", "inside");
    WriteFile(dir / "real/x/2", "inside");
    WriteFile(dir / "outside1", "outside");
    WriteFile(dir / "outside2", "outside");
    MakeDirs(dir / "real/x/sub");
    ASSERT_EQ(symlink("real/x/sub", (dir / "lnk").c_str()), 0);
    // lnk/.. is real/x for the system; read as text it would be the whole test folder.
    const Outcome outcome = RunProcess({dir / "lnk/.."});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(IsOneRow(outcome.out, 6, dir / "real/x/1", dir / "real/x/2")) << outcome.out;
}

// The state letter of a process's main thread ('S' while it sleeps, e.g. in a blocked write).
char ThreadState(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

TEST_F(FindCommandTest, InterruptWhileRowsWaitForASlowReaderWritesEveryRowWholeAndEndsAsTheSearchDid)
{
    // More rows than the pipe holds, so that writing them blocks until the reader reads.
    constexpr int kPairs = 300;
    for (int i = 0; i < kPairs; ++i) {
        const std::string name = "a-file-with-a-name-long-enough-to-fill-a-pipe-soon-" + std::to_string(i);
        WriteFile(dir / ("1/" + name), "content " + std::to_string(i));
        WriteFile(dir / ("2/" + name), "content " + std::to_string(i));
    }
    int rows[2];
    ASSERT_EQ(pipe2(rows, O_CLOEXEC), 0);
    fcntl(rows[0], F_SETPIPE_SZ, 16384);
    const int capacity = fcntl(rows[0], F_GETPIPE_SZ);
    char errName[] = "/tmp/quillon-err.XXXXXX";
    const int errFd = mkstemp(errName);
    std::string binary = Binary();
    const std::vector<std::string> args{"--no-progress", dir.Path()};
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(rows[1], 1);
        dup2(errFd, 2);
        execv(binary.c_str(), Argv(binary, args).data());
        _exit(127);
    }
    close(rows[1]);
    // The search is over once the pipe is full and the program sleeps: it waits in a write.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int queued = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        ioctl(rows[0], FIONREAD, &queued);
        if (queued >= capacity && ThreadState(child) == 'S')
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(queued, capacity) << "the program never filled the pipe";
    kill(child, SIGINT);
    const std::string out = Slurp(rows[0]);
    close(rows[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    lseek(errFd, 0, SEEK_SET);
    const std::string err = Slurp(errFd);
    close(errFd);
    unlink(errName);

    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_EQ(err.find("Stopped."), std::string::npos) << err;
    EXPECT_NE(err.find("Dups: " + std::to_string(kPairs)), std::string::npos) << err;
    size_t lines = 0;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string row = out.substr(at, end - at + 1);
        const std::string size = row.substr(0, row.find(' '));
        const std::string name = row.substr(row.rfind('/') + 1, row.size() - row.rfind('/') - 3);
        EXPECT_TRUE(IsOneRow(row, std::stoi(size), dir / ("1/" + name), dir / ("2/" + name))) << row;
        ++lines;
    }
    EXPECT_EQ(lines, static_cast<size_t>(kPairs));
    EXPECT_EQ(out.back(), '\n') << "the last row was cut";
}

TEST_F(FindCommandTest, FailedWritesOfTheRowsEndWithStatus3)
{
    WriteFile(dir / "a", "same");
    WriteFile(dir / "b", "same");
    const auto toDevFull = [] {
        const int fd = open("/dev/full", O_WRONLY);
        if (fd < 0 || dup2(fd, 1) < 0)
            _exit(126);
    };
    const auto closeOutput = [] { close(1); };
    const struct {
        std::function<void()> redirect;
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {toDevFull, {dir.Path()}, "No space left on device"},
        {toDevFull, {"--format=jsonl", dir.Path()}, "No space left on device"},
        {toDevFull, {"--help"}, "No space left on device"},
        {closeOutput, {dir.Path()}, "Bad file descriptor"},
        {closeOutput, {"--version"}, "Bad file descriptor"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunProcess(c.args, c.redirect);
        EXPECT_EQ(outcome.status, 3) << c.args[0];
        EXPECT_NE(outcome.err.find(std::string("cannot write to standard output: ") + c.reason), std::string::npos)
            << outcome.err;
    }
}

TEST_F(FindCommandTest, ControlCharactersOfNamesNeverReachTheOutputRaw)
{
    const std::string csi = "\xC2\x9B";  // U+009B, the 8-bit CSI, in UTF-8
    WriteFile(dir / ("a" + csi + "2J"), "same");
    WriteFile(dir / "b", "same");
    const Outcome text = RunProcess({dir.Path()});
    EXPECT_TRUE(IsOneRow(text.out, 4, dir / "a\\u009b2J", dir / "b")) << text.out;
    const Outcome jsonl = RunProcess({"--format", "jsonl", dir.Path()});
    EXPECT_NE(jsonl.out.find("/a\\u009b2J\""), std::string::npos) << jsonl.out;
    EXPECT_EQ(jsonl.out.find(csi), std::string::npos);
}

TEST_F(FindCommandTest, UnlistableFoldersAndUnreadableFilesAreCountedAndNamed)
{
    WriteFile(dir / "1/sub/hidden", "same");
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "1/unopened", "same");
    WriteFile(dir / "1/failing", "same");
    WriteFile(dir / "2/b", "same");
    WriteFile(dir / "locked/c", "same");
    fs.failFolders = {U(dir / "1/sub"), U(dir / "locked")};
    fs.failFiles = {U(dir / "1/unopened")};
    fs.failReads = {U(dir / "1/failing")};

    const Outcome quiet = RunInProcess({dir / "1", dir / "locked", dir / "2"});
    EXPECT_EQ(quiet.status, 1) << "a FOLDER that cannot be listed is an error";
    EXPECT_NE(quiet.err.find("\"" + dir.Path() + "/locked\": cannot be listed"), std::string::npos) << quiet.err;
    EXPECT_NE(quiet.err.find("could not read 1 folder and 2 files (--verbose names them)\n"), std::string::npos);
    EXPECT_EQ(quiet.err.find("/failing"), std::string::npos);
    EXPECT_TRUE(IsOneRow(quiet.out, 4, dir / "1/a", dir / "2/b")) << "the rest was searched: " << quiet.out;

    const Outcome verbose = RunInProcess({"--verbose", dir / "1"});
    EXPECT_EQ(verbose.status, 0) << "what cannot be read below a FOLDER is counted, not fatal";
    const std::string named = "quillon-find: cannot list \"" + dir.Path() +
        "/1/sub\"\n"
        "quillon-find: cannot read \"" +
        dir.Path() +
        "/1/failing\"\n"
        "quillon-find: cannot read \"" +
        dir.Path() +
        "/1/unopened\"\n"
        "quillon-find: could not read 1 folder and 2 files\n";
    EXPECT_NE(verbose.err.find(named), std::string::npos) << verbose.err;
}

TEST_F(FindCommandTest, UnreadableFolderArgumentFailsForAUserWithoutTheRight)
{
    WriteFile(dir / "open/a", "same");
    WriteFile(dir / "open/b", "same");
    WriteFile(dir / "open/closed/c", "same");
    WriteFile(dir / "shut/d", "same");
    // Everyone may walk the test folder; the child searches it as nobody when started as root.
    for (const char* folder : {"", "/open"})
        ASSERT_EQ(chmod((dir.Path() + folder).c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "open/closed").c_str(), 0), 0);
    ASSERT_EQ(chmod((dir / "shut").c_str(), 0), 0);
    const Outcome outcome = RunProcess({"--verbose", dir / "shut", dir / "open"}, DropPrivileges);
    chmod((dir / "open/closed").c_str(), 0755);
    chmod((dir / "shut").c_str(), 0755);
    ASSERT_NE(outcome.status, 126) << "could not drop privileges";
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("\"" + dir.Path() + "/shut\": cannot be listed: Permission denied"), std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("cannot list \"" + dir.Path() + "/open/closed\"\n"), std::string::npos);
    EXPECT_NE(outcome.err.find("could not read 1 folder and 0 files\nFiles: 2  Dups: 1"), std::string::npos);
}

TEST_F(FindCommandTest, ProgressLineOnATerminalShowsEachPhaseWithItsOwnCounts)
{
    const std::string head(1024, 'h');
    const std::string csi = "\xC2\x9B";
    WriteFile(dir / "1/a", head + std::string(2000, 'a'));
    WriteFile(dir / ("2" + csi + "/b"), head + std::string(2000, 'a'));
    WriteFile(dir / ("2" + csi + "/c"), head + std::string(2000, 'c'));     // same first bytes, other tail
    WriteFile(dir / ("2" + csi + "/d"), std::string(3024, 'd'));            // same size only
    ASSERT_EQ(link((dir / "1/a").c_str(), (dir / "1/a-link").c_str()), 0);  // never compared with a
    int master = -1, terminal = -1;
    winsize size{};
    size.ws_col = 400;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, &size), 0);
    TerminalReader reader(master);

    // The run waits at the start of each phase until the line shows it, so that every phase is
    // drawn however fast the machine is.
    class Gated : public FaultFileSystem {
    public:
        std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
        {
            if (g_searchState == ESearchState::Scanning && path == gatedFolder)
                scanSeen = reader->WaitFor("Files: 2  ") && reader->WaitFor("/2?");
            return FaultFileSystem::OpenFolder(path);
        }
        TerminalReader* reader = nullptr;
        std::u16string gatedFolder;
        std::atomic<bool> scanSeen{false};
    } gated;
    gated.reader = &reader;
    gated.gatedFolder = U(dir / ("2" + csi));
    std::atomic<bool> comparingSeen{false}, pairingSeen{false};
    gated.beforeOpenFile = [&](const std::u16string&) {
        if (g_searchState == ESearchState::Grouping && reader.WaitFor("Comparing  0 / 5 (0%)"))
            comparingSeen = true;
        if (g_searchState == ESearchState::Pairing && reader.WaitFor("Pairing  0 / 3 files  0 bytes / 8.85 KB (0%)"))
            pairingSeen = true;
    };
    g_fileSystem = &gated;

    std::vector<std::string> args{"quillon-find", "--format=jsonl", dir / "1", dir / ("2" + csi)};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    FILE* out = tmpfile();
    FILE* err = fdopen(terminal, "w");
    const int status = RunFindCommand(static_cast<int>(argv.size()), argv.data(), out, err);
    fclose(err);
    fclose(out);
    const std::string drawn = reader.All();

    EXPECT_EQ(status, 0);
    EXPECT_EQ(drawn.rfind("\r\033[KScanning  Files: 0  00:00:00.", 0), 0u) << "the first line is the scan's";
    EXPECT_TRUE(gated.scanSeen) << "the folder being scanned, the files listed before it";
    EXPECT_TRUE(comparingSeen);
    EXPECT_TRUE(pairingSeen) << "files and bytes to compare whole: a, b and c";
    EXPECT_EQ(drawn.find("Finishing  Files"), std::string::npos);
    EXPECT_EQ(drawn.find(csi), std::string::npos) << "the C1 character in the folder's name is drawn as '?'";
    EXPECT_NE(drawn.find("\r\033[KFiles: 5  Dups: "), std::string::npos) << "the line is erased before the totals";
}

TEST(RowText, JsonStringsStayValidForEveryKindOfText)
{
    EXPECT_EQ(JsonString(u"plain/\u00E9\u20AC"), "\"plain/\xC3\xA9\xE2\x82\xAC\"");
    EXPECT_EQ(JsonString(u"q\"b\\n\n\x01"), "\"q\\\"b\\\\n\\n\\u0001\"");
    EXPECT_EQ(JsonString(u"\U0001F600"), "\"\xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString(u"\xDCFF\xD800x"), "\"\\udcff\\ud800x\"") << "lone surrogates become escapes";
    EXPECT_EQ(QuotedText(u"a\xDCFF\x7F\\"), "\"a\\xff\\x7f\\\\\"");
    // C1 controls are escaped as characters, distinct from a byte 0x9B that is not UTF-8.
    EXPECT_EQ(QuotedText(u"\x9B\xDC9B\x80\x9F\xA0"), "\"\\u009b\\x9b\\u0080\\u009f\xC2\xA0\"");
    EXPECT_EQ(JsonString(u"\x9B\xA0"), "\"\\u009b\xC2\xA0\"");
}

TEST(RowText, BidirectionalControlsAreEscapedInEveryFormLikeTheOtherControls)
{
    // Raw, each would reverse the rest of a terminal's line; their neighbours are plain text.
    const struct {
        char16_t unit;
        bool escaped;
    } cases[] = {
        {0x2029, false}, {0x202A, true}, {0x202B, true}, {0x202C, true}, {0x202D, true}, {0x202E, true},  {0x202F, false},
        {0x2065, false}, {0x2066, true}, {0x2067, true}, {0x2068, true}, {0x2069, true}, {0x206A, false},
    };
    for (const auto& c : cases) {
        const std::u16string text = std::u16string(u"a") + c.unit + u"b";
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c.unit));
        const std::string expected = c.escaped ? "\"a" + std::string(escape) + "b\"" : "\"" + EncodeNativeName(text) + "\"";
        EXPECT_EQ(QuotedText(text), expected) << std::hex << static_cast<unsigned>(c.unit);
        EXPECT_EQ(JsonString(text), expected) << std::hex << static_cast<unsigned>(c.unit);
        CProgressLine::SState state;
        state.folder = text;
        const std::string line = CProgressLine::Compose(state, 79);
        EXPECT_EQ(line.substr(line.rfind("  ") + 2), c.escaped ? "a?b" : EncodeNativeName(text));
    }
}

TEST(ProgressLine, ShortensThePathInTheMiddleToFitTheWidth)
{
    CProgressLine::SState state;
    state.phase = ESearchState::Grouping;
    state.files = 400;
    state.examined = 100;
    state.elapsedMs = 1005;
    state.path = u"/home/user/" + std::u16string(200, u'x') + u"/file.txt";
    const std::string line = CProgressLine::Compose(state, 79);
    EXPECT_EQ(line.rfind("Comparing  100 / 400 (25%)  00:00:01.005  /home/", 0), 0u) << line;
    EXPECT_NE(line.find("..."), std::string::npos);
    EXPECT_NE(line.find("file.txt"), std::string::npos);
    EXPECT_EQ(line.size(), 79u);
    EXPECT_LE(CProgressLine::Compose(state, 10).size(), 10u);
}

TEST(ProgressLine, EachPhaseShowsItsOwnCounts)
{
    CProgressLine::SState state;
    state.elapsedMs = 3723042;
    state.listedFiles = 7;
    state.folder = u"/data/a\u009B2J\x1B[H\xDCFF";
    EXPECT_EQ(CProgressLine::Compose(state, 79), "Scanning  Files: 7  01:02:03.042  /data/a?2J?[H?");
    state.phase = ESearchState::Pairing;
    state.pairedFiles = 3;
    state.pairFilesToDo = 10;
    state.pairedBytes = 1536;
    state.pairBytesToDo = 6144;
    state.file = u"/data/f";
    EXPECT_EQ(CProgressLine::Compose(state, 79), "Pairing  3 / 10 files  1.50 KB / 6.00 KB (25%)  01:02:03.042  /data/f");
    state.pairedFiles = 12;  // more done than the grouping phase foresaw: never past the end
    state.pairedBytes = 7000;
    EXPECT_EQ(CProgressLine::Compose(state, 79).rfind("Pairing  10 / 10 files  6.00 KB / 6.00 KB (100%)", 0), 0u);
    state.phase = ESearchState::Finishing;
    EXPECT_EQ(CProgressLine::Compose(state, 79), "Finishing  01:02:03.042");
    EXPECT_EQ(CProgressLine::FormatElapsed(1009), "00:00:01.009");
}

TEST_F(FindCommandTest, TheDigestCacheIsKeptUnderTheCacheHomeSkippedWithNoCacheAndADamagedOneToldInOneLine)
{
    WriteFile(dir / "tree/a", "same");
    WriteFile(dir / "tree/b", "same");
    const char* saved = getenv("XDG_CACHE_HOME");
    const std::string savedCacheHome = saved ? saved : "";
    const auto run = [&](const std::string& cacheHome, std::vector<std::string> args) {
        setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
        args.push_back(dir / "tree");
        const Outcome outcome = RunProcess(args);
        setenv("XDG_CACHE_HOME", savedCacheHome.c_str(), 1);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 1) << "one row";
        return outcome;
    };
    const auto linesAboutTheCache = [](const std::string& err) {
        size_t lines = 0;
        for (size_t at = err.find("digest cache"); at != std::string::npos; at = err.find("digest cache", at + 1))
            ++lines;
        return lines;
    };

    const std::string file = dir / "kept/velvane/quillon/digests.sqlite";
    EXPECT_EQ(linesAboutTheCache(run(dir / "kept", {}).err), 0u);
    EXPECT_EQ(access(file.c_str(), F_OK), 0);

    run(dir / "none", {"--no-cache"});
    EXPECT_EQ(access((dir / "none/velvane").c_str(), F_OK), -1) << "--no-cache created the cache";

    WriteFile(file, "not a database, and it stays as it is");
    EXPECT_EQ(linesAboutTheCache(run(dir / "kept", {}).err), 1u);
    EXPECT_EQ(ReadFile(file), "not a database, and it stays as it is");
}
