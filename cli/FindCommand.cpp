#include "cli/FindCommand.h"
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/CountingFileSystem.h"
#include "cli/ProgressLine.h"
#include "cli/RowText.h"
#include "engine/Catalogue.h"
#include "engine/DigestStore.h"
#include "engine/ResultOrder.h"
#include "engine/SearchRun.h"
#include "platform/ByteSize.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "platform/Utf16Text.h"
#include "res/Version.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitBadFolder = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;
constexpr int kExitStopped = 130;

// The largest size bound whose bytes (KB << 10) fit in 64 bits.
constexpr uint64_t kMaxKilobytes = UINT64_MAX >> 10;

const char kUsage[] = "Usage: quillon-find [--from KB] [--to KB] [--format text|jsonl] [--[no-]progress] [--verbose]\n"
                      "                    [--no-cache] FOLDER...\n";

const char kHelp[] = "Finds files with equal content below the FOLDERs and prints each duplicate beside its original.\n"
                     "\n"
                     "Files are compared when their sizes are equal: first by the MD5 digest of their first 1024 bytes,\n"
                     "then by the MD5 digest of the whole file. Of a group of equal files one is the original; every\n"
                     "other one is printed as its duplicate, one row each, smallest files first.\n"
                     "\n"
                     "Each FOLDER is resolved once, the way the system resolves it (links and '..' followed, as by\n"
                     "realpath), and exactly that folder is searched; the rows show the resolved paths. A relative\n"
                     "FOLDER needs a current folder that still exists.\n"
                     "\n"
                     "Options:\n"
                     "  --from KB          only files larger than KB kilobytes (1 KB = 1024 bytes)\n"
                     "  --to KB            only files smaller than KB kilobytes (0 or absent: no upper bound)\n"
                     "                     KB is a whole decimal number from 0 to 18014398509481983, nothing else;\n"
                     "                     --from must be below a --to that is not 0\n"
                     "  --format text      one row per line: size in bytes, original, duplicate (default); paths are\n"
                     "                     in double quotes, with \\\" \\\\ \\t \\n \\r escaped, other control characters as\n"
                     "                     \\xNN (below 0x20, and 0x7f) or \\uNNNN (U+0080 to U+009F, and the\n"
                     "                     bidirectional controls U+202A to U+202E and U+2066 to U+2069), and bytes\n"
                     "                     that are not UTF-8 as \\xNN (0x80 and above)\n"
                     "  --format jsonl     one JSON object per row: {\"original\": ..., \"duplicate\": ..., \"size\": N};\n"
                     "                     control characters are \\uNNNN escapes, bytes that are not UTF-8 \\udcNN\n"
                     "  --progress         draw a progress line on standard error (default when it is a terminal):\n"
                     "                     the folder being scanned and the files listed so far, then the files\n"
                     "                     compared by their first bytes, then the files and bytes compared whole\n"
                     "                     out of those to compare; control characters in names show as '?'\n"
                     "  --no-progress      never draw the progress line\n"
                     "  --verbose          name every folder and file that could not be read\n"
                     "  --no-cache         neither read nor write the digest cache kept between runs\n"
                     "  -h, --help         show this help and exit\n"
                     "  --version          show the version and exit\n"
                     "\n"
                     "At the end, standard error says how many folders and files could not be read (when any could\n"
                     "not), then shows the totals: \"Files\" is the number of files listed in the size range (a file\n"
                     "reached by two paths, for example through overlapping FOLDERs or a hard link, counts twice),\n"
                     "\"Dups\" the number of rows, \"Size of duplicates\" the sum of the rows' sizes, and the elapsed\n"
                     "time (hours:minutes:seconds.milliseconds). Ctrl-C stops the search (rows already found while\n"
                     "pairing are printed, each whole); once the search has ended, Ctrl-C stops nothing and every row\n"
                     "is printed. A second Ctrl-C ends the program at once.\n"
                     "\n"
                     "Digests are kept between runs in ${XDG_CACHE_HOME:-$HOME/.cache}/velvane/quillon/; a file's digest\n"
                     "is taken from there only while its path, device, inode, size, last-write and change time are the\n"
                     "ones it had when it was digested.\n"
                     "\n"
                     "Exit status: 0 after a search, with or without duplicates (folders and files below a FOLDER\n"
                     "that cannot be read are counted, not fatal); 1 when a FOLDER does not exist, is not a folder or\n"
                     "cannot be listed (the others are searched); 2 for a usage error; 3 when standard output could\n"
                     "not be written (a full disk, a closed output; a closed pipe ends it by SIGPIPE); 130 after a stop.\n";

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
    bool verbose = false;
    int progress = -1;  // -1: when standard error is a terminal
    bool noCache = false;
    std::vector<std::string> folders;
};

// Standard output with every write checked: the first failure is kept, later writes are skipped.
// Rows go to the descriptor directly, with a write cut short by a signal resumed where it
// stopped, so that an interrupt while a reader is slow (a pager) never cuts a row.
struct CheckedOutput {
    FILE* out;
    int error = 0;

    void Write(std::string_view text)
    {
        errno = 0;
        if (error == 0 && std::fflush(out) != 0)
            error = errno != 0 ? errno : EIO;
        const int fd = fileno(out);
        while (error == 0 && !text.empty()) {
            const ssize_t count = write(fd, text.data(), text.size());
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                error = count < 0 ? errno : EIO;
            else
                text.remove_prefix(static_cast<size_t>(count));
        }
    }
    // Flushes; returns whether everything written so far reached the system.
    bool Finish()
    {
        errno = 0;
        if (error == 0 && (std::fflush(out) != 0 || std::ferror(out)))
            error = errno != 0 ? errno : EIO;
        return error == 0;
    }
};

int WriteFailed(int error, FILE* err)
{
    std::fprintf(err, "quillon-find: cannot write to standard output: %s\n", std::strerror(error));
    return kExitWriteFailed;
}

// Text typed by the user or read from the disk, quoted and escaped for a message.
std::string Quoted(std::string_view native)
{
    return QuotedText(DecodeNativeName(native));
}

int UsageError(const std::string& message, FILE* err)
{
    std::fprintf(err, "quillon-find: %s\n%sTry 'quillon-find --help' for more information.\n", message.c_str(), kUsage);
    return kExitUsage;
}

// A size bound: a plain decimal count of kilobytes whose bytes fit in 64 bits. Nothing else is a
// number here: no blanks, sign, fraction or unit, so that a typo never becomes another bound.
bool ParseKilobytes(const std::string& text, uint64_t& kilobytes)
{
    if (text.empty())
        return false;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (kMaxKilobytes - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    kilobytes = value;
    return true;
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
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            CheckedOutput output{out};
            if (arg == "--version")
                output.Write(std::string("quillon-find ") + QUILLON_VERSION + "\n");
            else
                output.Write(std::string(kUsage) + kHelp);
            return output.Finish() ? kExitFound : WriteFailed(output.error, err);
        } else if (arg == "--from" || arg == "--to") {
            if (!takeValue())
                return UsageError("option '" + arg + "' needs a value in kilobytes", err);
            if (!ParseKilobytes(value, arg == "--from" ? options.fromKB : options.toKB))
                return UsageError("option '" + arg + "' takes a whole number of kilobytes from 0 to " +
                                      std::to_string(kMaxKilobytes) + ", not " + Quoted(value),
                                  err);
        } else if (arg == "--format") {
            if (!takeValue() || (value != "text" && value != "jsonl"))
                return UsageError("option '--format' takes 'text' or 'jsonl'", err);
            options.jsonl = value == "jsonl";
        } else if (arg == "--progress" || arg == "--no-progress" || arg == "--verbose") {
            if (inlineValue)
                return UsageError("option '" + arg + "' takes no value", err);
            if (arg == "--verbose")
                options.verbose = true;
            else
                options.progress = arg == "--progress";
        } else if (arg == "--no-cache") {
            if (inlineValue)
                return UsageError("option '" + arg + "' takes no value", err);
            options.noCache = true;
        } else {
            return UsageError("unknown option " + Quoted(arg), err);
        }
    }
    if (options.toKB != 0 && options.fromKB >= options.toKB)
        return UsageError("the size range is empty: --from " + std::to_string(options.fromKB) + " is not below --to " +
                              std::to_string(options.toKB),
                          err);
    if (options.folders.empty())
        return UsageError("no FOLDER given", err);
    return -1;
}

// The folder a FOLDER argument names, resolved once as the system resolves it, so that the
// folder checked is the folder searched. Returns an empty text and sets `problem` when it cannot
// be searched.
std::u16string ResolveFolder(const std::string& argument, std::string& problem)
{
    if (AbsoluteFolder(DecodeNativeName(argument), CurrentFolder()).empty()) {
        problem = "the current folder cannot be read (was it removed?)";
        return {};
    }
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(argument.c_str(), nullptr), &std::free);
    struct stat st;
    if (!resolved || stat(resolved.get(), &st) != 0) {
        problem = std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(st.st_mode)) {
        problem = "not a folder";
        return {};
    }
    std::u16string folder = DecodeNativeName(resolved.get());
    errno = 0;
    if (!g_fileSystem->OpenFolder(folder)) {
        problem = std::string("cannot be listed") + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
        return {};
    }
    return folder;
}

// The folders to search; reports the arguments that cannot be searched.
std::vector<std::u16string> SearchFolders(const std::vector<std::string>& arguments, bool& allFound, FILE* err)
{
    std::vector<std::u16string> folders;
    allFound = true;
    for (const std::string& argument : arguments) {
        std::string problem;
        std::u16string folder = ResolveFolder(argument, problem);
        if (folder.empty()) {
            std::fprintf(err, "quillon-find: %s: %s\n", Quoted(argument).c_str(), problem.c_str());
            allFound = false;
            continue;
        }
        folders.push_back(std::move(folder));
    }
    return folders;
}

// Writes the rows; returns false (with the reason in output.error) when they did not all get out.
bool PrintRows(bool jsonl, CheckedOutput& output)
{
    std::string text;
    for (const CDuplicatePair& row : g_duplicates) {
        text += jsonl ? JsonRow(row) : TextRow(row);
        if (text.size() > (1 << 16)) {
            output.Write(text);
            text.clear();
        }
    }
    output.Write(text);
    return output.Finish();
}

std::string Counted(size_t count, const char* singular, const char* plural)
{
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

// What could not be read: each path with --verbose, then how many.
void PrintUnreadable(const CCountingFileSystem& files, bool verbose, FILE* err)
{
    const std::vector<std::u16string> folders = files.UnreadableFolders();
    const std::vector<std::u16string> unreadable = files.UnreadableFiles();
    if (folders.empty() && unreadable.empty())
        return;
    if (verbose) {
        for (const std::u16string& folder : folders)
            std::fprintf(err, "quillon-find: cannot list %s\n", QuotedText(folder).c_str());
        for (const std::u16string& file : unreadable)
            std::fprintf(err, "quillon-find: cannot read %s\n", QuotedText(file).c_str());
    }
    std::fprintf(err, "quillon-find: could not read %s and %s%s\n", Counted(folders.size(), "folder", "folders").c_str(),
                 Counted(unreadable.size(), "file", "files").c_str(), verbose ? "" : " (--verbose names them)");
}

// The status bar's words at the end of a run, each number named.
void PrintSummary(const CStopWatch& stopWatch, bool stopped, FILE* err)
{
    std::fprintf(err, "%sFiles: %u  Dups: %zu  Size of duplicates: %s  Elapsed Time: %s\n", stopped ? "Stopped.  " : "",
                 g_fileCount, g_duplicates.size(), Utf8(FormatByteSize(g_duplicateBytes)).c_str(),
                 CProgressLine::FormatElapsed(stopWatch.ElapsedMs()).c_str());
}

}  // namespace

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
    action.sa_flags = SA_RESTART;  // an interrupt must not fail the write of a row
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    const bool drawProgress = options.progress == 1 || (options.progress == -1 && isatty(fileno(err)));
    // The engine reads through the counting file system for this run only.
    IFileSystem* const fileSystem = g_fileSystem;
    CCountingFileSystem counting(*fileSystem, drawProgress);
    g_fileSystem = &counting;
    CProgressLine progress(drawProgress, err, counting);
    progress.Start();
    IDigestStore* const store = g_digestStore;
    if (options.noCache)
        g_digestStore = nullptr;
    SearchThreadProc(&progress, folders);
    // An interrupt from here on stops nothing: the rows made are all printed.
    const bool stopped = g_stopFlag.load() != 0;
    progress.Finish();
    g_fileSystem = fileSystem;
    if (g_digestStore && !g_digestStore->Problem().empty())
        std::fprintf(err, "quillon-find: %s\n", g_digestStore->Problem().c_str());
    g_digestStore = store;

    SortDuplicatesBySize();
    CheckedOutput output{out};
    const bool written = PrintRows(options.jsonl, output);
    if (!written)
        WriteFailed(output.error, err);
    PrintUnreadable(counting, options.verbose, err);
    PrintSummary(progress.StopWatch(), stopped, err);
    signal(SIGINT, SIG_DFL);
    if (!written)
        return kExitWriteFailed;
    if (stopped)
        return kExitStopped;
    return allFound ? kExitFound : kExitBadFolder;
}
