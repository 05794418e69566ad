#include <gtest/gtest.h>

#include <algorithm>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/FindCommand.h"
#include "cli/ProgressLine.h"
#include "cli/RowText.h"
#include "engine/SearchRun.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

// Runs the quillon-find binary as a process and collects what it printed.
Outcome RunProcess(const std::vector<std::string>& args)
{
    std::string binary = std::string(QUILLON_BINARY_DIR) + "/cli/quillon-find";
    char outName[] = "/tmp/quillon-out.XXXXXX";
    char errName[] = "/tmp/quillon-err.XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    const pid_t child = fork();
    if (child == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char*> argv{binary.data()};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    Outcome outcome;
    int status = 0;
    waitpid(child, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    lseek(outFd, 0, SEEK_SET);
    lseek(errFd, 0, SEEK_SET);
    outcome.out = Slurp(outFd);
    outcome.err = Slurp(errFd);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return outcome;
}

// Runs the command in this process, so that a test file system can interrupt it.
Outcome RunInProcess(std::vector<std::string> args)
{
    args.insert(args.begin(), "quillon-find");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    Outcome outcome;
    outcome.status = RunFindCommand(static_cast<int>(args.size()), argv.data(), out, err);
    rewind(out);
    rewind(err);
    outcome.out = Slurp(fileno(out));
    outcome.err = Slurp(fileno(err));
    fclose(out);
    fclose(err);
    return outcome;
}

// The text of the JSON string literal that starts at `at` (just after its opening quote), with
// the escapes quillon-find writes undone; `at` moves past the closing quote.
std::u16string JsonStringAt(const std::string& json, size_t& at)
{
    std::string utf8;
    std::u16string text;
    const auto flush = [&] { text += DecodeNativeName(utf8); utf8.clear(); };
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

} // namespace

TEST_F(FindCommandTest, JsonLinesCarryBytesThatAreNotUtf8AsEscapes)
{
    WriteFile(dir / "1/caf\xE9 \"x\".txt", "same");
    WriteFile(dir / "2/b", "same");
    const Outcome outcome = RunProcess({"--format", "jsonl", dir / "1", dir / "2"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "{\"original\": \"" + dir.Path() + "/2/b\", \"duplicate\": \"" + dir.Path()
                               + "/1/caf\\udce9 \\\"x\\\".txt\", \"size\": 4}\n");
    EXPECT_NE(outcome.err.find("Files: 2  Dups: 1  4 bytes  Elapsed Time: 00:00:"), std::string::npos) << outcome.err;

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
    const Outcome outcome = RunProcess({"--from", "1", "--to", "  3 KB", "--format", "jsonl", "./1/../1"});
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

    for (const std::vector<std::string>& bad : {std::vector<std::string>{}, {"--format", "xml", "."}, {"--bogus", "."}, {"--from"}}) {
        const Outcome usage = RunProcess(bad);
        EXPECT_EQ(usage.status, 2);
        EXPECT_NE(usage.err.find("Usage: quillon-find"), std::string::npos);
        EXPECT_TRUE(usage.out.empty());
    }
    const Outcome help = RunProcess({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--format jsonl"), std::string::npos);
    EXPECT_EQ(RunProcess({"--version"}).out, "quillon-find 1.0.0\n");
}

TEST_F(FindCommandTest, ProgressLineIsDrawnOnlyWhenAskedOrOnATerminal)
{
    WriteFile(dir / "a", "same");
    EXPECT_EQ(RunProcess({dir.Path()}).err.find("\033[K"), std::string::npos);
    EXPECT_NE(RunProcess({"--progress", dir.Path()}).err.find("\033[K"), std::string::npos);
    EXPECT_EQ(RunProcess({"--progress", "--no-progress", dir.Path()}).err.find("\033[K"), std::string::npos);
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
    EXPECT_EQ(outcome.out, "{\"original\": \"" + dir.Path() + "/2/small\", \"duplicate\": \"" + dir.Path()
                               + "/1/small\", \"size\": 5}\n");
    EXPECT_NE(outcome.err.find("Stopped."), std::string::npos);
}

TEST_F(FindCommandTest, InterruptDuringTheScanPrintsNoRows)
{
    WriteFile(dir / "1/a", "same");
    WriteFile(dir / "2/b", "same");
    // Raise the interrupt when the scan opens its second folder.
    class Interrupting : public FaultFileSystem {
    public:
        std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
        {
            if (++opens == 2)
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

TEST(RowText, JsonStringsStayValidForEveryKindOfText)
{
    EXPECT_EQ(JsonString(u"plain/\u00E9\u20AC"), "\"plain/\xC3\xA9\xE2\x82\xAC\"");
    EXPECT_EQ(JsonString(u"q\"b\\n\n\x01"), "\"q\\\"b\\\\n\\n\\u0001\"");
    EXPECT_EQ(JsonString(u"\U0001F600"), "\"\xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString(u"\xDCFF\xD800x"), "\"\\udcff\\ud800x\"") << "lone surrogates become escapes";
    EXPECT_EQ(QuotedText(u"a\xDCFF\x7F\\"), "\"a\\xff\\x7f\\\\\"");
}

TEST(ProgressLine, ShortensThePathInTheMiddleToFitTheWidth)
{
    const std::u16string path = u"/home/user/" + std::u16string(200, u'x') + u"/file.txt";
    const std::string line = CProgressLine::Compose("Comparing", 400, 100, path, u"00:00:01.5", 79);
    EXPECT_EQ(line.rfind("Comparing  100 / 400 (25%)  00:00:01.5  /home/", 0), 0u) << line;
    EXPECT_NE(line.find("..."), std::string::npos);
    EXPECT_NE(line.find("file.txt"), std::string::npos);
    EXPECT_EQ(line.size(), 79u);
    EXPECT_EQ(CProgressLine::Compose("Scanning", 7, 0, u"", u"00:00:00.1", 79), "Scanning  Files: 7  00:00:00.1");
    EXPECT_LE(CProgressLine::Compose("Comparing", 400, 100, path, u"00:00:01.5", 10).size(), 10u);
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
