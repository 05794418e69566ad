#include "cli/FindCommand.h"
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/ProgressLine.h"
#include "cli/RowText.h"
#include "engine/Catalogue.h"
#include "engine/DigestStore.h"
#include "engine/ResultOrder.h"
#include "engine/SearchRun.h"
#include "platform/ByteSize.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "platform/SizeText.h"
#include "platform/Utf16Text.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitBadFolder = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 130;

const char kUsage[] =
    "Usage: quillon-find [--from KB] [--to KB] [--format text|jsonl] [--progress|--no-progress] [--no-cache]\n"
    "                    FOLDER...\n";

const char kHelp[] =
    "Finds files with equal content below the FOLDERs and prints each duplicate beside its original.\n"
    "\n"
    "Files are compared when their sizes are equal: first by the MD5 digest of their first 1024 bytes,\n"
    "then by the MD5 digest of the whole file. Of a group of equal files one is the original; every\n"
    "other one is printed as its duplicate, one row each, smallest files first.\n"
    "\n"
    "Options:\n"
    "  --from KB          only files larger than KB kilobytes (1 KB = 1024 bytes)\n"
    "  --to KB            only files smaller than KB kilobytes (0 or absent: no upper bound)\n"
    "  --format text      one row per line: size in bytes, original, duplicate (default); paths are\n"
    "                     in double quotes, with \\\" \\\\ \\t \\n escaped and bytes that are not UTF-8 as \\xNN\n"
    "  --format jsonl     one JSON object per row: {\"original\": ..., \"duplicate\": ..., \"size\": N}\n"
    "  --progress         draw a progress line on standard error (default when it is a terminal)\n"
    "  --no-progress      never draw the progress line\n"
    "  --no-cache         neither read nor write the digest cache kept between runs\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "At the end, standard error shows the files listed, the number of duplicates, their total size\n"
    "and the elapsed time. Ctrl-C stops the search (rows already found while pairing are printed);\n"
    "a second Ctrl-C ends the program at once.\n"
    "\n"
    "Digests are kept between runs in ${XDG_CACHE_HOME:-$HOME/.cache}/velvane/quillon/; a file's digest\n"
    "is taken from there only while its path, device, inode, size, last-write and change time are the\n"
    "ones it had when it was digested.\n"
    "\n"
    "Exit status: 0 after a search (with or without duplicates), 1 when a FOLDER does not exist or\n"
    "is not a folder (the others are searched), 2 for a usage error, 130 after a stop.\n";

std::atomic<int> g_interrupts{0};  // lock-free, so usable in the signal handler

void OnInterrupt(int)
{
    if (g_interrupts.fetch_add(1) == 0) {
        RequestStop();  // lock-free atomic increment: safe in a signal handler
        return;
    }
    const char newline = '\n';
    (void)!write(STDERR_FILENO, &newline, 1);
    _exit(kExitStopped);
}

struct Options {
    uint64_t fromKB = 0;
    uint64_t toKB = 0;
    bool jsonl = false;
    int progress = -1;  // -1: when standard error is a terminal
    bool noCache = false;
    std::vector<std::string> folders;
};

int UsageError(const std::string& message, FILE* err)
{
    std::fprintf(err, "quillon-find: %s\n%sTry 'quillon-find --help' for more information.\n", message.c_str(), kUsage);
    return kExitUsage;
}

// The size bounds read like the window's size fields: text that holds no number counts as 0.
uint64_t ScanKilobytes(const std::string& text)
{
    return ScanSizeText(DecodeNativeName(text));
}

// Parses the arguments. Returns -1 to go on, or the exit status to end with.
int ParseArguments(int argc, char** argv, Options& options, FILE* out, FILE* err)
{
    bool onlyFolders = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyFolders || arg.empty() || arg[0] != '-' || arg == "-") {
            options.folders.push_back(arg);
            continue;
        }
        std::string value;
        const size_t equals = arg.find('=');
        const bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        if (inlineValue) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        const auto takeValue = [&]() -> bool {
            if (inlineValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        if (arg == "--") {
            onlyFolders = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, out);
            std::fputs(kHelp, out);
            return kExitFound;
        } else if (arg == "--version") {
            std::fprintf(out, "quillon-find %s\n", QUILLON_VERSION);
            return kExitFound;
        } else if (arg == "--from" || arg == "--to") {
            if (!takeValue())
                return UsageError("option '" + arg + "' needs a value in kilobytes", err);
            (arg == "--from" ? options.fromKB : options.toKB) = ScanKilobytes(value);
        } else if (arg == "--format") {
            if (!takeValue() || (value != "text" && value != "jsonl"))
                return UsageError("option '--format' takes 'text' or 'jsonl'", err);
            options.jsonl = value == "jsonl";
        } else if (arg == "--progress" || arg == "--no-progress") {
            if (inlineValue)
                return UsageError("option '" + arg + "' takes no value", err);
            options.progress = arg == "--progress";
        } else if (arg == "--no-cache") {
            if (inlineValue)
                return UsageError("option '" + arg + "' takes no value", err);
            options.noCache = true;
        } else {
            return UsageError("unknown option '" + arg + "'", err);
        }
    }
    if (options.folders.empty())
        return UsageError("no FOLDER given", err);
    return -1;
}

// The search folders in absolute form; reports the arguments that are not folders.
std::vector<std::u16string> SearchFolders(const std::vector<std::string>& arguments, bool& allFound, FILE* err)
{
    std::vector<std::u16string> folders;
    const std::u16string cwd = CurrentFolder();
    allFound = true;
    for (const std::string& argument : arguments) {
        struct stat st;
        const char* problem = nullptr;
        if (stat(argument.c_str(), &st) != 0)
            problem = std::strerror(errno);
        else if (!S_ISDIR(st.st_mode))
            problem = "not a folder";
        if (problem) {
            std::fprintf(err, "quillon-find: %s: %s\n", argument.c_str(), problem);
            allFound = false;
            continue;
        }
        folders.push_back(AbsoluteFolder(DecodeNativeName(argument), cwd));
    }
    return folders;
}

void PrintRows(bool jsonl, FILE* out)
{
    std::string text;
    for (const CDuplicatePair& row : g_duplicates) {
        text += jsonl ? JsonRow(row) : TextRow(row);
        if (text.size() > (1 << 16)) {
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

// The status bar's words at the end of a run.
void PrintSummary(const CStopWatch& stopWatch, bool stopped, FILE* err)
{
    std::fprintf(err, "%sFiles: %u  Dups: %zu  %s  Elapsed Time: %s\n", stopped ? "Stopped.  " : "", g_fileCount,
                 g_duplicates.size(), Utf8(FormatByteSize(g_duplicateBytes)).c_str(), Utf8(stopWatch.Format()).c_str());
}

} // namespace

int RunFindCommand(int argc, char** argv, FILE* out, FILE* err)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, options, out, err);
    if (parsed >= 0)
        return parsed;

    bool allFound = true;
    const std::vector<std::u16string> folders = SearchFolders(options.folders, allFound, err);

    BeginSearchRun(options.fromKB, options.toKB);
    g_interrupts.store(0);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    const bool drawProgress = options.progress == 1 || (options.progress == -1 && isatty(fileno(err)));
    CProgressLine progress(drawProgress, err);
    progress.Start();
    IDigestStore* const store = g_digestStore;
    if (options.noCache)
        g_digestStore = nullptr;
    SearchThreadProc(&progress, folders);
    progress.Finish();
    if (g_digestStore && !g_digestStore->Problem().empty())
        std::fprintf(err, "quillon-find: %s; searching without it\n", g_digestStore->Problem().c_str());
    g_digestStore = store;

    SortDuplicatesBySize();
    PrintRows(options.jsonl, out);
    const bool stopped = g_stopFlag.load() != 0;
    PrintSummary(progress.StopWatch(), stopped, err);
    signal(SIGINT, SIG_DFL);
    if (stopped)
        return kExitStopped;
    return allFound ? kExitFound : kExitBadFolder;
}
