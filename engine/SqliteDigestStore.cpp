#include "engine/SqliteDigestStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/NativeName.h"

namespace {

constexpr int32_t kApplicationId = 0x51446967;  // "QDig": a file of ours
constexpr int32_t kSchemaVersion = 1;
constexpr int kBusyMilliseconds = 3000;
// Rows of the table passed in a row without a wanted path before the walk seeks the next one.
constexpr int kUnwantedRowsBeforeSeek = 32;

const std::string kCreate = "CREATE TABLE IF NOT EXISTS digest("
                            " path BLOB NOT NULL, kind INTEGER NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
                            " size INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL, md5 BLOB NOT NULL,"
                            " used INTEGER NOT NULL, PRIMARY KEY(path, kind)) WITHOUT ROWID;"
                            "PRAGMA application_id=" +
    std::to_string(kApplicationId) +
    ";"
    "PRAGMA user_version=" +
    std::to_string(kSchemaVersion) + ";";

// A prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const { return m_rc == SQLITE_OK; }
    sqlite3_stmt* operator*() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc;
};

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

int64_t Signed(uint64_t value)
{
    return static_cast<int64_t>(value);
}

}  // namespace

CSqliteDigestStore::CSqliteDigestStore(std::string file) : m_file(std::move(file))
{
}

CSqliteDigestStore::~CSqliteDigestStore()
{
    Close();
}

std::string CSqliteDigestStore::PerUserFile()
{
    std::string base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        base = cache;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.cache";
    else
        return {};
    return base + "/velvane/quillon/digests.sqlite";
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
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool CSqliteDigestStore::Open()
{
    if (m_db)
        return true;
    if (!m_problem.empty())
        return false;
    if (m_perUser && m_file.empty())
        m_file = PerUserFile();
    if (m_file.empty()) {
        m_problem = "digest cache: no home folder to keep it in";
        return false;
    }
    std::string error;
    if (!MakeParentFolders(m_file, error)) {
        Fail(error);
        return false;
    }
    if (sqlite3_open_v2(m_file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        Fail(m_db ? sqlite3_errmsg(m_db) : "cannot open");
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMilliseconds);
    if (!Validate())
        return false;
    if (sqlite3_prepare_v2(m_db,
                           "SELECT path, device, inode, size, mtime, ctime, md5, used FROM digest"
                           " WHERE path>=?1 AND kind=?2 ORDER BY path",
                           -1, &m_select, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(m_db));
        return false;
    }
    // A store without entries answers no lookup: the first search of a new store asks none.
    Statement any(m_db, "SELECT 1 FROM digest LIMIT 1");
    const int rc = any.Ok() ? sqlite3_step(*any) : SQLITE_ERROR;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        Fail(std::string("unreadable, left as it is (") + sqlite3_errmsg(m_db) + ")");
        return false;
    }
    m_empty = rc == SQLITE_DONE;
    return true;
}

// Reads before anything is written: a file that is not a database of ours is never touched.
bool CSqliteDigestStore::Validate()
{
    int32_t application = 0, version = 0, tables = 0;
    {
        Statement read(m_db,
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
            Fail(std::string("unreadable, left as it is (") + sqlite3_errmsg(m_db) + ")");
            return false;
        }
        application = sqlite3_column_int(*read, 0);
        version = sqlite3_column_int(*read, 1);
        tables = sqlite3_column_int(*read, 2);
    }
    if (application == kApplicationId && version != kSchemaVersion) {
        Fail("made by another version of the program, left as it is");
        return false;
    }
    if (application != kApplicationId && (application != 0 || tables != 0)) {
        Fail("not a digest cache of this program, left as it is");
        return false;
    }
    // A new file (or one another program created at the same moment) gets the table; WAL lets
    // readers and one writer work at once.
    // No memory mapping (a file cut short by someone else while mapped would end the process), and
    // the default page cache: lookups in path order need few pages at a time.
    std::string error;
    if (ExecWaiting(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) != SQLITE_OK ||
        (application == 0 && ExecWaiting(m_db, "BEGIN IMMEDIATE;" + kCreate + "COMMIT;", error) != SQLITE_OK)) {
        Fail(error);
        return false;
    }
    return true;
}

void CSqliteDigestStore::Load(EDigestKind kind, const std::vector<const CFileRecord*>& wanted, std::vector<CFileRecord>& found)
{
    if (wanted.empty() || !Open() || m_empty)
        return;
    const int64_t today = Today();
    // In path order: neighbouring lookups read neighbouring pages.
    std::vector<std::pair<std::string, const CFileRecord*>> paths;
    paths.reserve(wanted.size());
    for (const CFileRecord* record : wanted)
        paths.emplace_back(EncodeNativeName(record->path.view()), record);
    std::sort(paths.begin(), paths.end());
    // The table is walked in path order beside the sorted paths, from the first one on: a search's
    // paths lie together in that order, and a row follows another in far less time than a lookup
    // takes. A stretch of rows that nobody wants is left by seeking to the next wanted path.
    const auto seek = [&](const std::string& from) {
        sqlite3_reset(m_select);
        sqlite3_bind_blob(m_select, 1, from.data(), static_cast<int>(from.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(m_select, 2, static_cast<int>(kind));
    };
    bool failed = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK;
    if (!failed)
        seek(paths.front().first);
    size_t next = 0;   // the first path not met yet
    int unwanted = 0;  // rows passed since the last wanted one
    while (!failed && next < paths.size()) {
        const int rc = sqlite3_step(m_select);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW || sqlite3_column_bytes(m_select, 6) != static_cast<int>(sizeof(Md5Digest))) {
            failed = true;
            break;
        }
        const std::string_view row(static_cast<const char*>(sqlite3_column_blob(m_select, 0)),
                                   static_cast<size_t>(sqlite3_column_bytes(m_select, 0)));
        while (next < paths.size() && std::string_view(paths[next].first) < row)
            ++next;  // not stored
        if (next == paths.size())
            break;
        if (std::string_view(paths[next].first) != row) {
            if (++unwanted >= kUnwantedRowsBeforeSeek) {
                seek(paths[next].first);
                unwanted = 0;
            }
            continue;
        }
        unwanted = 0;
        const bool old = sqlite3_column_int64(m_select, 7) < today;
        if (old)
            m_used.push_back(Use{paths[next].first, static_cast<int>(kind)});
        for (; next < paths.size() && std::string_view(paths[next].first) == row; ++next) {
            // A path wanted twice (a folder walked twice) gets the entry twice.
            CFileRecord& entry = found.emplace_back();
            entry.path = paths[next].second->path;
            entry.identity.device = static_cast<uint64_t>(sqlite3_column_int64(m_select, 1));
            entry.identity.inode = static_cast<uint64_t>(sqlite3_column_int64(m_select, 2));
            entry.size = static_cast<uint64_t>(sqlite3_column_int64(m_select, 3));
            entry.lastWrite = static_cast<uint64_t>(sqlite3_column_int64(m_select, 4));
            entry.changeTime = static_cast<uint64_t>(sqlite3_column_int64(m_select, 5));
            std::memcpy(entry.digest.data(), sqlite3_column_blob(m_select, 6), sizeof(Md5Digest));
        }
    }
    sqlite3_reset(m_select);
    if (failed) {
        Fail(std::string("unreadable, left as it is (") + sqlite3_errmsg(m_db) + ")");
        return;
    }
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
}

void CSqliteDigestStore::Save(const std::vector<const CFileRecord*>& quick, const std::vector<const CFileRecord*>& full)
{
    if (quick.empty() && full.empty() && m_used.empty() && m_expired)
        return;
    if (!Open())
        return;
    const int64_t today = Today();
    // In path order, so that the writes go to neighbouring pages.
    std::vector<std::pair<std::string, const CFileRecord*>> rows[2];
    for (int kind = 0; kind < 2; ++kind) {
        for (const CFileRecord* entry : kind == 0 ? quick : full)
            rows[kind].emplace_back(EncodeNativeName(entry->path.view()), entry);
        std::sort(rows[kind].begin(), rows[kind].end());
    }

    Statement insert(m_db, "INSERT OR REPLACE INTO digest VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    Statement touch(m_db, "UPDATE digest SET used=?3 WHERE path=?1 AND kind=?2 AND used<?3");
    Statement expire(m_db, "DELETE FROM digest WHERE used<?1");
    bool ok =
        insert.Ok() && touch.Ok() && expire.Ok() && sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        Fail(std::string("cannot be written (") + sqlite3_errmsg(m_db) + ")");
        return;
    }
    for (int kind = 0; kind < 2 && ok; ++kind) {
        for (const auto& [path, entry] : rows[kind]) {
            sqlite3_reset(*insert);
            sqlite3_bind_blob(*insert, 1, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
            sqlite3_bind_int(*insert, 2, kind);
            sqlite3_bind_int64(*insert, 3, Signed(entry->identity.device));
            sqlite3_bind_int64(*insert, 4, Signed(entry->identity.inode));
            sqlite3_bind_int64(*insert, 5, Signed(entry->size));
            sqlite3_bind_int64(*insert, 6, Signed(entry->lastWrite));
            sqlite3_bind_int64(*insert, 7, Signed(entry->changeTime));
            sqlite3_bind_blob(*insert, 8, entry->digest.data(), static_cast<int>(entry->digest.size()), SQLITE_STATIC);
            sqlite3_bind_int64(*insert, 9, today);
            if (sqlite3_step(*insert) != SQLITE_DONE) {
                ok = false;
                break;
            }
        }
    }
    for (size_t i = 0; ok && i < m_used.size(); ++i) {
        sqlite3_reset(*touch);
        sqlite3_bind_blob(*touch, 1, m_used[i].path.data(), static_cast<int>(m_used[i].path.size()), SQLITE_STATIC);
        sqlite3_bind_int(*touch, 2, m_used[i].kind);
        sqlite3_bind_int64(*touch, 3, today);
        ok = sqlite3_step(*touch) == SQLITE_DONE;
    }
    if (ok && !m_expired) {
        sqlite3_bind_int64(*expire, 1, today - kKeepDays);
        ok = sqlite3_step(*expire) == SQLITE_DONE;
    }
    if (ok)
        ok = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        const std::string what = sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail("cannot be written (" + what + ")");
        return;
    }
    m_used.clear();
    m_expired = true;
    m_empty = m_empty && quick.empty() && full.empty();
}
