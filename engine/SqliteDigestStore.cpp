#include "engine/SqliteDigestStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "engine/DigestPool.h"
#include "engine/FolderGroups.h"
#include "engine/LearnedNames.h"
#include "engine/RowWriter.h"
#include "engine/SqliteStatement.h"
#include "engine/StoreCodec.h"
#include "engine/StoreSave.h"
#include "platform/PathRules.h"

namespace {

constexpr int32_t kApplicationId = 0x51446967;  // "QDig": a file of ours
constexpr int32_t kSchemaVersion = 4;
constexpr int kBusyMilliseconds = 3000;
// Rows passed in a row that hold no wanted folder before the walk seeks the next one.
constexpr int kUnwantedRowsBeforeSeek = 4;

// The table: a row per stretch of folders, its key, its last day of use and its sections (see
// StoreCodec.h). Version 1 kept a row per path and kind, version 2 a row per folder, version 3
// full digests without their SHA-256 (nothing then told two files of equal MD5 apart); their
// tables are replaced when this version first opens the file.
const std::string kCreate = "CREATE TABLE IF NOT EXISTS folder("
                            " path BLOB NOT NULL UNIQUE, used INTEGER NOT NULL, entries BLOB NOT NULL);"
                            "CREATE INDEX IF NOT EXISTS folder_used ON folder(used);"
                            "PRAGMA application_id=" +
    std::to_string(kApplicationId) +
    ";"
    "PRAGMA user_version=" +
    std::to_string(kSchemaVersion) + ";";
constexpr int32_t kReplacedSchemaVersions[] = {1, 2, 3};

// Creates the folders of a file's path that are missing (readable by the user only).
bool MakeParentFolders(const std::string& file, std::string& error)
{
    for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
        const std::string folder = file.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// The URI that opens a store that cannot be written, read-only and without locks (nobody writes it).
std::string ImmutableUri(const std::string& file)
{
    std::string uri = "file:";
    for (const char c : file) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

bool Busy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

// Runs the statements, again and again while another connection holds a lock that SQLite will not
// wait for by itself (two programs creating the file, or switching it to the write-ahead log, at
// the same moment), for up to kBusyMilliseconds. A transaction left open by a failure is undone.
int ExecWaiting(sqlite3* db, const std::string& sql, std::string& error)
{
    for (int waited = 0;; waited += 10) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
        error = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        if (rc != SQLITE_OK && !sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (!Busy(rc) || waited >= kBusyMilliseconds)
            return rc;
        sqlite3_sleep(10);
    }
}

}  // namespace

CSqliteDigestStore::CSqliteDigestStore(std::string file) : m_file(std::move(file))
{
}

CSqliteDigestStore::~CSqliteDigestStore()
{
    WaitForCheckpoint();
    Close();
}

void CSqliteDigestStore::WaitForCheckpoint()
{
    if (m_checkpoint.joinable())
        m_checkpoint.join();
}

std::string CSqliteDigestStore::PerUserFile()
{
    std::string base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        base = cache;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = JoinNativePath(home, ".cache");
    else
        return {};
    return JoinNativePath(base, "velvane/quillon/digests.sqlite");
}

CSqliteDigestStore& CSqliteDigestStore::PerUser()
{
    // The environment is read when the store is first opened, not when the process starts.
    static CSqliteDigestStore store{std::string()};
    store.m_perUser = true;
    return store;
}

int64_t CSqliteDigestStore::Today() const
{
    if (m_today >= 0)
        return m_today;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::hours>(now).count() / 24;
}

void CSqliteDigestStore::Fail(const std::string& what)
{
    m_problem = "digest cache " + m_file + ": " + what;
    Close();
}

void CSqliteDigestStore::Close()
{
    sqlite3_finalize(m_select);
    m_select = nullptr;
    sqlite3_finalize(m_floor);
    m_floor = nullptr;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool CSqliteDigestStore::Open()
{
    WaitForCheckpoint();
    if (m_db)
        return true;
    if (!m_problem.empty())
        return false;
    if (m_perUser && m_file.empty())
        m_file = PerUserFile();
    if (m_file.empty()) {
        m_problem = "digest cache: no home folder to keep it in; searching without it";
        return false;
    }
    std::string error;
    if (!MakeParentFolders(m_file, error) || !SafePlace(error)) {
        Fail(error + "; searching without it");
        return false;
    }
    // A store that cannot be written is read as it is: without locks or a shared-memory file,
    // which could not be made (a read-only folder or mount), or would be made as unwritable as
    // the store and block every later write.
    const int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW |
        (m_readOnly ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(m_readOnly ? ImmutableUri(m_file).c_str() : m_file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        Fail(std::string("cannot be opened (") + (m_db ? sqlite3_errmsg(m_db) : "out of memory") + "); searching without it");
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMilliseconds);
    if (!Validate())
        return false;
    if (sqlite3_prepare_v2(m_db, "SELECT path, entries FROM folder WHERE path>=?1 ORDER BY path", -1, &m_select, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(m_db, "SELECT path FROM folder WHERE path<=?1 ORDER BY path DESC LIMIT 1", -1, &m_floor, nullptr) !=
            SQLITE_OK) {
        Fail(std::string("unreadable, left as it is (") + sqlite3_errmsg(m_db) + "); searching without it");
        return false;
    }
    // A store without entries answers no lookup: the first search of a new store asks none.
    CSqliteStatement any(m_db, "SELECT 1 FROM folder LIMIT 1");
    const int rc = any.Ok() ? sqlite3_step(*any) : SQLITE_ERROR;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        Fail(std::string("unreadable, left as it is (") + sqlite3_errmsg(m_db) + "); searching without it");
        return false;
    }
    m_empty = rc == SQLITE_DONE;
    return true;
}

bool CSqliteDigestStore::SafePlace(std::string& error)
{
    const std::string folder = m_file.substr(0, m_file.rfind('/'));
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) {
        error = "cannot use the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = "cannot use the folder " + folder + ": " + std::strerror(ENOTDIR);
        return false;
    }
    if (info.st_uid != geteuid()) {
        error = "its folder " + folder + " belongs to another user";
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = "its folder " + folder + " can be written by other users";
        return false;
    }
    struct stat file;
    const bool exists = lstat(m_file.c_str(), &file) == 0;
    if (exists && !S_ISREG(file.st_mode)) {
        error = S_ISLNK(file.st_mode) ? "it is a symbolic link, not followed" : "it is not a regular file";
        return false;
    }
    m_readOnly = access(folder.c_str(), W_OK) != 0 || (exists && access(m_file.c_str(), W_OK) != 0);
    if (m_readOnly && !exists) {
        error = "cannot be made in " + folder + ", which cannot be written";
        return false;
    }
    return true;
}

// Reads before anything is written: a file that is not a database of ours is never touched.
bool CSqliteDigestStore::Validate()
{
    int32_t application = 0, version = 0, tables = 0;
    {
        CSqliteStatement read(m_db,
                              "SELECT (SELECT application_id FROM pragma_application_id),"
                              " (SELECT user_version FROM pragma_user_version),"
                              " (SELECT count(*) FROM sqlite_schema)");
        int rc = read.Ok() ? sqlite3_step(*read) : SQLITE_ERROR;
        for (int waited = 0; Busy(rc) && waited < kBusyMilliseconds; waited += 10) {
            sqlite3_sleep(10);
            sqlite3_reset(*read);
            rc = sqlite3_step(*read);
        }
        if (rc != SQLITE_ROW) {
            Fail(std::string("unreadable, left as it is (") + sqlite3_errmsg(m_db) + "); searching without it");
            return false;
        }
        application = sqlite3_column_int(*read, 0);
        version = sqlite3_column_int(*read, 1);
        tables = sqlite3_column_int(*read, 2);
    }
    // A file of the version before is ours to take over: its entries only cost a search's reads.
    const bool replace = application == kApplicationId &&
        std::find(std::begin(kReplacedSchemaVersions), std::end(kReplacedSchemaVersions), version) !=
            std::end(kReplacedSchemaVersions);
    if (application == kApplicationId && version != kSchemaVersion && !replace) {
        Fail("made by another version of the program, left as it is; searching without it");
        return false;
    }
    if (application != kApplicationId && (application != 0 || tables != 0)) {
        Fail("not a digest cache of this program, left as it is; searching without it");
        return false;
    }
    if (m_readOnly) {
        if (application == kApplicationId && !replace)
            return true;
        Fail(std::string(replace ? "made by an earlier version" : "empty") + " and cannot be written; searching without it");
        return false;
    }
    // A new file (or one another program created at the same moment) gets the table; WAL lets
    // readers and one writer work at once.
    // No memory mapping (a file cut short by someone else while mapped would end the process), and
    // the default page cache: lookups in path order need few pages at a time.
    // A new file gets pages of 16 KiB (set before the log is, which fixes the size): a row of
    // about 15 KiB then fills a page, and a search writes few pages.
    std::string error;
    if ((application == 0 && tables == 0 && ExecWaiting(m_db, "PRAGMA page_size=16384;", error) != SQLITE_OK) ||
        ExecWaiting(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) != SQLITE_OK ||
        (application == 0 && ExecWaiting(m_db, "BEGIN IMMEDIATE;" + kCreate + "COMMIT;", error) != SQLITE_OK) ||
        (replace &&
         ExecWaiting(m_db, "BEGIN IMMEDIATE; DROP TABLE IF EXISTS digest; DROP TABLE IF EXISTS folder;" + kCreate + "COMMIT;",
                     error) != SQLITE_OK)) {
        Fail("cannot be prepared (" + error + "); searching without it");
        return false;
    }
    return true;
}

bool CSqliteDigestStore::WalkRows(const std::vector<std::string_view>& folders, const RowVisit& visit)
{
    if (folders.empty())
        return true;
    // The table is walked in key order beside the sorted folders, from the row that may hold the
    // first one: a search's folders lie together in that order, and a row follows another in far
    // less time than a lookup takes. A stretch of rows that nobody wants is left by seeking the
    // row of the next wanted folder.
    const auto seek = [&](std::string_view folder) {
        sqlite3_reset(m_floor);
        CSqliteStatement::BindBlob(m_floor, 1, folder);
        const int rc = sqlite3_step(m_floor);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return false;
        sqlite3_reset(m_select);
        if (rc == SQLITE_DONE)
            CSqliteStatement::BindBlob(m_select, 1, folder);  // no row before it
        else
            CSqliteStatement::BindBlob(m_select, 1, CSqliteStatement::ColumnBlob(m_floor, 0), SQLITE_TRANSIENT);
        sqlite3_reset(m_floor);
        return true;
    };
    std::vector<StoredSection> sections;
    size_t next = 0;   // the first folder not placed yet
    int unwanted = 0;  // rows passed since the last wanted one
    m_damagedRows.clear();
    bool ok = seek(folders.front());
    while (ok && next < folders.size()) {
        const int rc = sqlite3_step(m_select);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            ok = false;
            break;
        }
        const std::string_view key = CSqliteStatement::ColumnBlob(m_select, 0);
        std::string_view blob;
        if (!UnsealRow(key, CSqliteStatement::ColumnBlob(m_select, 1), blob) || !ParseSections(key, blob, sections)) {
            // A damaged row holds nothing: its folders are those of no row, and a save replaces it.
            m_damagedRows.emplace_back(key);
            continue;
        }
        const Row row{key, blob, sections};
        size_t end = next;
        while (end < folders.size() && folders[end] < row.key)
            ++end;
        const bool between = end > next;
        if (between) {
            ok = visit(nullptr, next, end);
            next = end;
        }
        while (end < folders.size() && folders[end] <= sections.back().folder)
            ++end;
        if (ok && end > next) {
            ok = visit(&row, next, end);
            next = end;
            unwanted = 0;
        } else if (between) {
            unwanted = 0;
        } else if (++unwanted >= kUnwantedRowsBeforeSeek) {
            ok = seek(folders[next]);
            unwanted = 0;
        }
    }
    sqlite3_reset(m_select);
    sqlite3_reset(m_floor);
    if (ok && next < folders.size())
        ok = visit(nullptr, next, folders.size());
    return ok;
}

void CSqliteDigestStore::Settle()
{
    WaitForCheckpoint();
}

void CSqliteDigestStore::Load(DigestKinds kinds, const std::vector<Wanted>& wanted, std::vector<Found>& found)
{
    if (wanted.empty() || !Open() || m_empty)
        return;
    const int64_t today = Today();
    CFolderGroups<Wanted> groups(wanted);
    std::vector<std::string_view> folders;
    for (const auto& group : groups.Groups())
        folders.push_back(group.folder);
    std::vector<StoredEntry> entries;
    const size_t foundBefore = found.size();
    bool damaged = false;  // a row whose checksum matches holds entries that cannot be read
    // The sections of the rows met, beside the folders wanted.
    const auto visit = [&](const Row* row, size_t first, size_t last) {
        if (!row)
            return true;
        size_t index = first;
        for (const StoredSection& section : row->sections) {
            while (index < last && folders[index] < section.folder)
                ++index;
            if (index == last)
                break;
            if (folders[index] == section.folder) {
                if (!ParseEntries(section.entries, entries)) {
                    damaged = true;
                    return false;
                }
                LoadFolder(groups, index++, entries, kinds, today, found);
            }
        }
        return true;
    };
    const bool ok = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK && WalkRows(folders, visit);
    if (!ok) {
        found.resize(foundBefore);
        const std::string what = damaged ? "a row's entries are damaged" : sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail("unreadable, left as it is (" + what + "); the rest of this search went without it");
        return;
    }
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
}

void CSqliteDigestStore::LoadFolder(CFolderGroups<Wanted>& groups, size_t group, const std::vector<StoredEntry>& entries,
                                    DigestKinds kinds, int64_t today, std::vector<Found>& found)
{
    std::vector<std::pair<int, std::string>>* used = nullptr;
    for (const StoredEntry& entry : entries) {
        const DigestKinds held = kinds & ((entry.has[0] ? 1u : 0u) | (entry.has[1] ? 2u : 0u));
        if (held == 0)
            continue;
        const auto [first, last] = groups.Named(group, entry.name);
        if (first == last)
            continue;
        for (const EDigestKind kind : kKinds) {
            if (!(held & KindsOf(kind)))
                continue;
            if (entry.used < today) {
                if (!used)
                    used = &m_used[groups.Groups()[group].folder];
                used->emplace_back(static_cast<int>(kind), std::string(entry.name));
            }
            // A path wanted twice (a folder walked twice) gets the entry twice.
            for (auto member = first; member != last; ++member) {
                CFileRecord& out = found.emplace_back(Found{member->index, kind, {}}).entry;
                static_cast<FileState&>(out) = entry.state;
                out.digest = entry.digest[static_cast<int>(kind)];
                if (kind == EDigestKind::Full)
                    out.strong = entry.strong;
            }
        }
    }
}

void CSqliteDigestStore::Save(const std::vector<Learned>& learned)
{
    if (learned.empty() && m_used.empty() && m_expired)
        return;
    if (!Open() || m_readOnly)
        return;
    // What the rows need first: the files' names, read in their order, and the files grouped by
    // folder.
    const CLearnedNames names(learned);
    CFolderGroups<Learned> groups(learned, names);
    const int64_t today = Today();
    CStoreSave save(learned, groups, names, m_used, today, today - kKeepDays);
    if (const std::string error = WriteSave(save, today); !error.empty()) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail("cannot be written (" + error + "); the digests of this search were not kept");
        return;
    }
    m_used.clear();
    m_expired = true;
    m_empty = m_empty && learned.empty();
    // The log is copied into the file on a thread of its own, while the program goes on (showing
    // or printing the rows); the next use of the store, or its end, waits for it. A copy that
    // fails or finds readers in the way leaves the rest of the log for a later one: the log
    // stays part of the file until then. A forked child starts no thread: closing copies it.
    if (!learned.empty() && !CDigestPool::Instance().InForkedChild())
        m_checkpoint =
            std::thread([db = m_db] { sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr); });
}

// The transaction of a save: the places of its folders as they are now, inside the transaction
// (what another program wrote meanwhile stays), each written again, and the entries unused for too
// long dropped (once per process). False on a failure, with the transaction still open.
std::string CSqliteDigestStore::WriteSave(CStoreSave& save, int64_t today)
{
    // The reason of the first step that fails: a later call would replace SQLite's message.
    std::string error;
    const auto check = [&](bool ok) {
        if (!ok && error.empty())
            error = sqlite3_errmsg(m_db);
        return ok;
    };
    CSqliteStatement expire(m_db, "DELETE FROM folder WHERE used<?1");
    if (!check(expire.Ok()) || !check(sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK))
        return error;
    std::vector<CStoreSave::Place> places;
    if (!check(WalkRows(save.Folders(), [&](const Row* row, size_t first, size_t last) {
            places.push_back(row ? CStoreSave::Place{true, std::string(row->key), std::string(row->blob), first, last}
                                 : CStoreSave::Place{false, {}, {}, first, last});
            return true;
        })))
        return error;
    CRowWriter rows(m_db);
    if (!check(rows.Ok()))
        return error;
    // Damaged rows go first: the rows written for their folders may take their keys.
    for (const std::string& key : m_damagedRows)
        rows.Remove(key);
    bool ok = true;
    for (size_t p = 0; ok && p < places.size(); ++p)
        ok = save.WritePlace(places[p], rows);
    if (!ok)
        error = "a stored row could not be read";
    if (!check(rows.Finish()) || !ok)
        return error;
    if (!m_expired) {
        sqlite3_bind_int64(*expire, 1, today - kKeepDays);
        if (!check(sqlite3_step(*expire) == SQLITE_DONE))
            return error;
    }
    check(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK);
    return error;
}
