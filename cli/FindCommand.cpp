#include "cli/FindCommand.h"
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/CountingFileSystem.h"
#include "cli/DuplicateSets.h"
#include "cli/KeepRule.h"
#include "cli/ProgressLine.h"
#include "cli/RowText.h"
#include "cli/SetActions.h"
#include "engine/Catalogue.h"
#include "engine/DigestStore.h"
#include "engine/ResultOrder.h"
#include "engine/ScanExclusions.h"
#include "engine/SearchRun.h"
#include "platform/ByteSize.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "platform/Utf16Text.h"
#include "res/Version.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitBadFolder = 1;
constexpr int kExitSkipped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;
constexpr int kExitStopped = 130;

// The largest size bound whose bytes (KB << 10) fit in 64 bits.
constexpr uint64_t kMaxKilobytes = UINT64_MAX >> 10;

const char kUsage[] = "Usage: quillon-find [--from KB] [--to KB] [--format text|jsonl] [--[no-]progress] [--verbose]\n"
                      "                    [--no-cache] [--exclude PATTERN]... [--exclude-hidden]\n"
                      "                    [--trash|--hardlink|--reflink [--keep RULE]... [--dry-run]] FOLDER...\n";

const char kHelp[] =
    "Finds files with equal content below the FOLDERs and prints each duplicate beside its original.\n"
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
    "  --exclude PATTERN  leave out files and folders that match PATTERN (may be repeated): '*'\n"
    "                     matches any characters, '?' one, letters A-Z match either case, ';'\n"
    "                     separates patterns; a PATTERN with a '/' is matched against the whole\n"
    "                     path, any other against the name alone; a PATTERN ending in '/'\n"
    "                     matches folders only; an excluded folder is not listed at all\n"
    "  --exclude-hidden   leave out files and folders whose name begins with a dot\n"
    "\n"
    "Actions (at most one; each file of a set of equal files but the one kept):\n"
    "  --trash            move it to the desktop trash (the trash of its own file system)\n"
    "  --hardlink         replace it by a hard link to the kept file (never across file\n"
    "                     systems; a new link under a temporary name is renamed over it)\n"
    "  --reflink          make it share the kept file's blocks (FICLONE, on Btrfs, XFS and the\n"
    "                     like; where the file system cannot, the file is left and reported)\n"
    "  --keep RULE        which file of a set stays: first (the original of its rows; the\n"
    "                     default), newest, oldest (last-write time), shortest (path), in=FOLDER\n"
    "                     (a file below FOLDER; a set with none there is left alone and\n"
    "                     reported); several --keep options break ties in order, then the first\n"
    "                     file of the set stays\n"
    "  --dry-run          make every check and print what would be done, changing nothing\n"
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
    "With an action, the rows are not printed; one line per file says what was done instead:\n"
    "  trashed|linked|cloned  SIZE  \"FILE\"  \"KEPT\"       (would-trash... with --dry-run)\n"
    "  skipped  SIZE  \"FILE\"  \"KEPT\"  REASON\n"
    "  left  SIZE  \"ORIGINAL\"  no copy under \"FOLDER\"\n"
    "or with --format jsonl {\"action\": ..., \"file\": ..., \"kept\": ..., \"size\": N[, \"reason\": ...]}.\n"
    "Just before a file is touched it must still be the file the search saw (type, size, times,\n"
    "device and inode), the kept file too, both must be equal byte for byte (both are read), and\n"
    "they must not already be one file; else the file is skipped and stays as it is. The kept\n"
    "file is never touched, so no set loses its last copy. Standard error ends with the files\n"
    "acted on, those skipped and the bytes freed (a file with other hard links frees none).\n"
    "Ctrl-C (once or more) stops between two files, never inside one.\n"
    "\n"
    "Digests are kept between runs in ${XDG_CACHE_HOME:-$HOME/.cache}/velvane/quillon/; a file's digest\n"
    "is taken from there only while its path, device, inode, size, last-write and change time are the\n"
    "ones it had when it was digested.\n"
    "\n"
    "Exit status: 0 after a search, with or without duplicates (folders and files below a FOLDER\n"
    "that cannot be read are counted, not fatal), and with an action when every file planned was\n"
    "acted on; 1 when a FOLDER does not exist, is not a folder or cannot be listed (the others are\n"
    "searched), or when an action skipped or failed on a file; 2 for a usage error; 3 when standard output could\n"
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
    std::optional<SetAction> action;
    bool dryRun = false;
    std::vector<CKeepRule> keep;
    CScanExclusions exclusions;
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
        } else if (arg == "--no-cache" || arg == "--dry-run" || arg == "--exclude-hidden") {
            if (inlineValue)
                return UsageError("option '" + arg + "' takes no value", err);
            if (arg == "--no-cache")
                options.noCache = true;
            else if (arg == "--dry-run")
                options.dryRun = true;
            else
                options.exclusions.ExcludeHidden();
        } else if (arg == "--trash" || arg == "--hardlink" || arg == "--reflink") {
            if (inlineValue)
                return UsageError("option '" + arg + "' takes no value", err);
            const SetAction action = arg == "--trash" ? SetAction::Trash
                : arg == "--hardlink"                 ? SetAction::HardLink
                                                      : SetAction::Reflink;
            if (options.action && *options.action != action)
                return UsageError("only one of --trash, --hardlink and --reflink at a time", err);
            options.action = action;
        } else if (arg == "--keep") {
            if (!takeValue())
                return UsageError("option '--keep' needs a RULE", err);
            std::string problem;
            std::optional<CKeepRule> rule = CKeepRule::Parse(value, CurrentFolder(), problem);
            if (!rule)
                return UsageError("option '--keep' " + problem + ", not " + Quoted(value), err);
            options.keep.push_back(std::move(*rule));
        } else if (arg == "--exclude") {
            if (!takeValue() || value.empty())
                return UsageError("option '--exclude' needs a PATTERN", err);
            options.exclusions.AddPattern(DecodeNativeName(value));
        } else {
            return UsageError("unknown option " + Quoted(arg), err);
        }
    }
    if (options.toKB != 0 && options.fromKB >= options.toKB)
        return UsageError("the size range is empty: --from " + std::to_string(options.fromKB) + " is not below --to " +
                              std::to_string(options.toKB),
                          err);
    if (!options.action && (options.dryRun || !options.keep.empty()))
        return UsageError(std::string("option '") + (options.dryRun ? "--dry-run" : "--keep") +
                              "' goes with --trash, --hardlink or --reflink",
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

// What the files of an action run came to.
struct ActionCounts {
    size_t acted = 0;
    size_t skipped = 0;
    size_t leftAlone = 0;
    uint64_t freedBytes = 0;
    bool interrupted = false;
};

// What happened to the files of one set: its lines and counts.
struct SetDone {
    std::string lines;
    ActionCounts counts;
    bool finished = false;  // the set was worked on (wholly, or up to an interrupt)
};

// Works on the sets in turn, taking the next one not yet taken, until none is left or `stop`:
// each file of a set but the kept one is checked and acted on, `stop` looked at between two files.
void ActOnSets(const Options& options, std::vector<DuplicateSet>& sets, const std::vector<CKeepRule>& rules,
               std::vector<SetDone>& done, std::atomic<size_t>& next, const std::atomic<bool>& stop, std::mutex& mutex)
{
    static const char* const kVerbs[3][2] = {{"trashed", "would-trash"}, {"linked", "would-link"}, {"cloned", "would-clone"}};
    const char* const verb = kVerbs[static_cast<int>(*options.action)][options.dryRun ? 1 : 0];
    CSetActions actions(*options.action, options.dryRun);
    for (size_t number; !stop.load() && (number = next.fetch_add(1)) < sets.size();) {
        DuplicateSet& set = sets[number];
        SetDone result;
        const CKeepRule* emptied = nullptr;
        const std::optional<size_t> keep = CKeepRule::Choose(set, rules, &emptied);
        if (!keep) {
            ++result.counts.leftAlone;
            result.lines = ActionLine(options.jsonl, "left", set.files.front().path, {}, set.size,
                                      "no copy under " + QuotedText(emptied->Folder()));
        }
        for (size_t i = 0; keep && i < set.files.size() && !stop.load(); ++i) {
            if (i == *keep)
                continue;
            SetFile& kept = set.files[*keep];
            const ActionOutcome outcome = actions.Act(set.files[i], kept);
            result.lines += ActionLine(options.jsonl, outcome.done ? verb : "skipped", set.files[i].path, kept.path, set.size,
                                       outcome.reason);
            ++(outcome.done ? result.counts.acted : result.counts.skipped);
            result.counts.freedBytes += outcome.freedBytes;
        }
        result.finished = true;
        std::lock_guard<std::mutex> lock(mutex);
        done[number] = std::move(result);
    }
}

// Acts on every file of every set but the one the keep rules choose. The sets are shared out
// among a few threads (the files of one set are always taken in order by one thread, each checked
// just before it is touched); the lines are written in the order of the sets as they are done.
// SIGINT is held for the whole time and taken by this thread between its waits: it stops every
// thread between two files, so however many times Ctrl-C comes every file stays whole.
ActionCounts RunActions(const Options& options, CheckedOutput& output)
{
    std::vector<CKeepRule> rules = options.keep;
    if (rules.empty())
        rules.emplace_back();  // first
    std::vector<DuplicateSet> sets = CollectDuplicateSets(g_duplicates, g_fileList);
    std::vector<SetDone> done(sets.size());
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{g_interrupts.load() != 0};
    std::mutex mutex;

    sigset_t interrupt, previous;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previous);
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> workers;
    std::atomic<unsigned> running{threads};
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            ActOnSets(options, sets, rules, done, next, stop, mutex);
            running.fetch_sub(1);
        });
    }
    ActionCounts counts;
    size_t written = 0;
    const auto writeDone = [&](bool all) {
        std::string text;
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (; written < done.size() && (done[written].finished || all); ++written) {
                const ActionCounts& set = done[written].counts;
                counts.acted += set.acted;
                counts.skipped += set.skipped;
                counts.leftAlone += set.leftAlone;
                counts.freedBytes += set.freedBytes;
                text += done[written].lines;
            }
        }
        output.Write(text);
        if (output.error != 0)
            stop.store(true);
    };
    const struct timespec pause = {0, 10 * 1000 * 1000};
    while (running.load() != 0) {
        if (sigtimedwait(&interrupt, nullptr, &pause) == SIGINT) {
            g_interrupts.fetch_add(1);
            stop.store(true);
        }
        writeDone(false);
    }
    for (std::thread& worker : workers)
        worker.join();
    writeDone(true);                                             // the sets not reached have no lines
    while (sigtimedwait(&interrupt, nullptr, &pause) == SIGINT)  // taken just before the end
        g_interrupts.fetch_add(1);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    counts.interrupted = g_interrupts.load() != 0;
    return counts;
}

void PrintActionSummary(const ActionCounts& counts, bool dryRun, FILE* err)
{
    std::fprintf(err, "%s%s: %zu  Skipped: %zu  %s: %s", counts.interrupted ? "Stopped.  " : "",
                 dryRun ? "Dry run, would act on" : "Acted on", counts.acted, counts.skipped,
                 dryRun ? "Would free" : "Bytes freed", Utf8(FormatByteSize(counts.freedBytes)).c_str());
    if (counts.freedBytes >= 1024)
        std::fprintf(err, " (%llu bytes)", static_cast<unsigned long long>(counts.freedBytes));
    if (counts.leftAlone != 0)
        std::fprintf(err, "  Sets left alone: %zu", counts.leftAlone);
    std::fprintf(err, "\n");
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
    g_scanExclusions = options.exclusions.Empty() ? nullptr : &options.exclusions;
    SearchThreadProc(&progress, folders);
    g_scanExclusions = nullptr;
    // An interrupt from here on stops nothing: the rows made are all printed.
    const bool stopped = g_stopFlag.load() != 0;
    progress.Finish();
    g_fileSystem = fileSystem;
    if (g_digestStore && !g_digestStore->Problem().empty())
        std::fprintf(err, "quillon-find: %s\n", g_digestStore->Problem().c_str());
    g_digestStore = store;

    SortDuplicatesBySize();
    CheckedOutput output{out};
    ActionCounts counts;
    bool written = true;
    if (!options.action) {
        written = PrintRows(options.jsonl, output);
    } else if (!stopped) {
        counts = RunActions(options, output);
        written = output.Finish();
    }
    if (!written)
        WriteFailed(output.error, err);
    PrintUnreadable(counting, options.verbose, err);
    PrintSummary(progress.StopWatch(), stopped, err);
    if (options.action && !stopped)
        PrintActionSummary(counts, options.dryRun, err);
    signal(SIGINT, SIG_DFL);
    if (!written)
        return kExitWriteFailed;
    if (stopped || counts.interrupted)
        return kExitStopped;
    if (counts.skipped != 0)
        return kExitSkipped;
    return allFound ? kExitFound : kExitBadFolder;
}
