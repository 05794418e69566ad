#include "engine/SqliteDigestStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "engine/Digest.h"
#include "engine/DigestPool.h"
#include "platform/NativeName.h"

namespace {

constexpr int32_t kApplicationId = 0x51446967;  // "QDig": a file of ours
constexpr int32_t kSchemaVersion = 3;
constexpr int kBusyMilliseconds = 3000;
// Rows passed in a row that hold no wanted folder before the walk seeks the next one.
constexpr int kUnwantedRowsBeforeSeek = 4;
// A row takes the folders that follow in byte order while its sections and key stay within this
// many bytes: SQLite's cost is mostly per row, and such a row fills most of a page of 16 KiB (a
// folder that takes more has a row of its own).
constexpr size_t kRowBytes = 15 * 1024;

// A row per stretch of folders: the path of its first folder (its key), the last day any of its
// entries was used, and a section per folder: the folder's path (4 bytes of length, then the
// bytes) and its entries (4 bytes of length, then entries as AppendEntry writes them). A row's
// folders come in byte order and lie before the key of the next row, so that the row that may
// hold a folder is the last row at or before it. A search reads and writes a row for about ten
// folders. Version 1 kept a row per path and kind, version 2 a row per folder; their tables are
// replaced when this version first opens the file.
const std::string kCreate = "CREATE TABLE IF NOT EXISTS folder("
                            " path BLOB NOT NULL UNIQUE, used INTEGER NOT NULL, entries BLOB NOT NULL);"
                            "CREATE INDEX IF NOT EXISTS folder_used ON folder(used);"
                            "PRAGMA application_id=" +
    std::to_string(kApplicationId) +
    ";"
    "PRAGMA user_version=" +
    std::to_string(kSchemaVersion) + ";";
constexpr int32_t kReplacedSchemaVersions[] = {1, 2};

// A stored entry: what is known of one file of a folder in one state (device, inode, size and
// times), its quick digest, its full digest or both. A file may have two entries when its two
// digests were taken of different states.
struct StoredEntry {
    std::string_view name;  // native bytes
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
    uint64_t changeTime = 0;
    int64_t used = 0;              // the day either digest was last used
    bool has[2] = {false, false};  // by EDigestKind
    Md5Digest digest[2]{};

    // The state the entry was taken of, to tell whether two digests describe the same one.
    auto State() const { return std::tie(device, inode, size, lastWrite, changeTime); }
};

// An entry in a folder's blob: which digests it holds (1 byte: bit 0 quick, bit 1 full), name
// length (2 bytes) and name, device, inode, size, last-write time and change time (8 bytes each),
// day of last use (4 bytes), then the digests it holds (16 bytes each); numbers little-endian.
constexpr size_t kEntryFixedBytes = 1 + 2 + 5 * 8 + 4;

template <size_t Bytes>
char* PutNumber(char* at, uint64_t value)
{
    for (size_t i = 0; i < Bytes; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    return at + Bytes;
}

uint64_t GetNumber(const char* at, size_t bytes)
{
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= static_cast<uint64_t>(static_cast<unsigned char>(at[i])) << (8 * i);
    return value;
}

// Asks the processor to fetch a record, which may lie across two cache lines.
void PrefetchRecord(const CFileRecord* record)
{
    __builtin_prefetch(record);
    __builtin_prefetch(reinterpret_cast<const char*>(record) + sizeof(CFileRecord) - 1);
}

// A path's folder (before its last separator) and name (after it).
std::u16string_view FolderOf(std::u16string_view path)
{
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? std::u16string_view() : path.substr(0, slash);
}
std::u16string_view NameOf(std::u16string_view path)
{
    return path.substr(path.rfind(u'/') + 1);
}

// The path and folder listing of a file wanted or learned.
std::u16string_view PathOf(const IDigestStore::Wanted& file)
{
    return file.path;
}
std::u16string_view PathOf(const IDigestStore::Learned& file)
{
    return file.path->view();
}
// Asks the processor to fetch the start of a file's path.
void PrefetchPath(const IDigestStore::Wanted& file)
{
    __builtin_prefetch(file.path.data());
    __builtin_prefetch(file.path.data() + 32);
}
void PrefetchPath(const IDigestStore::Learned& file)
{
    file.path->Prefetch();
}
uint32_t ListingOf(const IDigestStore::Wanted& file)
{
    return file.folder;
}
uint32_t ListingOf(const IDigestStore::Learned& file)
{
    return file.folder;
}

// Writes the fields of an entry around its name, which the caller has put at at + 3 (see
// kEntryFixedBytes): its kinds and the name's length before it, its state (device, inode, size,
// last-write and change times), day of use and digests after it. Returns the end of the entry.
// Inlined: a save writes it for every file.
[[gnu::always_inline]] inline char* PutEntry(char* at, size_t nameBytes, const uint64_t (&state)[5], int64_t used,
                                             const Md5Digest* quick, const Md5Digest* full)
{
    at = PutNumber<1>(at, (quick ? 1u : 0u) | (full ? 2u : 0u));
    at = PutNumber<2>(at, nameBytes) + nameBytes;
    for (const uint64_t number : state)
        at = PutNumber<8>(at, number);
    at = PutNumber<4>(at, static_cast<uint64_t>(used));
    if (quick)
        at = std::copy(quick->begin(), quick->end(), at);
    if (full)
        at = std::copy(full->begin(), full->end(), at);
    return at;
}

void AppendEntry(std::string& blob, const StoredEntry& entry)
{
    const size_t start = blob.size();
    blob.resize(start + kEntryFixedBytes + entry.name.size() + sizeof(Md5Digest) * (entry.has[0] + entry.has[1]));
    std::copy(entry.name.begin(), entry.name.end(), blob.data() + start + 3);
    PutEntry(blob.data() + start, entry.name.size(), {entry.device, entry.inode, entry.size, entry.lastWrite, entry.changeTime},
             entry.used, entry.has[0] ? &entry.digest[0] : nullptr, entry.has[1] ? &entry.digest[1] : nullptr);
}

// The entry of a file a search digested, named `name` (native bytes), in the state `learned` holds
// (by kind; the two, when both are there, must be of one state), used `today`; written as
// AppendEntry writes it, without a copy.
void AppendLearnedEntry(std::string& blob, std::string_view name, const std::array<const CFileRecord*, 2>& learned, int64_t today)
{
    const auto& [quick, full] = learned;
    const CFileRecord& state = quick ? *quick : *full;
    const size_t start = blob.size();
    blob.resize(start + kEntryFixedBytes + name.size() + sizeof(Md5Digest) * ((quick ? 1 : 0) + (full ? 1 : 0)));
    std::copy(name.begin(), name.end(), blob.data() + start + 3);
    PutEntry(blob.data() + start, name.size(),
             {state.identity.device, state.identity.inode, state.size, static_cast<uint64_t>(state.lastWrite), state.changeTime},
             today, quick ? &quick->digest : nullptr, full ? &full->digest : nullptr);
}

// The entries of a folder's blob, as views into it; false when the blob is not made of whole
// entries (a damaged file).
bool ParseEntries(std::string_view blob, std::vector<StoredEntry>& entries)
{
    entries.clear();
    size_t at = 0;
    while (at < blob.size()) {
        if (blob.size() - at < kEntryFixedBytes)
            return false;
        StoredEntry& entry = entries.emplace_back();
        const uint64_t kinds = GetNumber(blob.data() + at, 1);
        const size_t nameBytes = GetNumber(blob.data() + at + 1, 2);
        entry.has[0] = (kinds & 1) != 0;
        entry.has[1] = (kinds & 2) != 0;
        const size_t bytes = kEntryFixedBytes + nameBytes + sizeof(Md5Digest) * (entry.has[0] + entry.has[1]);
        if (kinds == 0 || kinds > 3 || nameBytes == 0 || blob.size() - at < bytes)
            return false;
        entry.name = blob.substr(at + 3, nameBytes);
        const char* number = blob.data() + at + 3 + nameBytes;
        for (uint64_t* field : {&entry.device, &entry.inode, &entry.size, &entry.lastWrite, &entry.changeTime}) {
            *field = GetNumber(number, 8);
            number += 8;
        }
        entry.used = static_cast<int64_t>(GetNumber(number, 4));
        number += 4;
        for (int kind = 0; kind < 2; ++kind) {
            if (entry.has[kind]) {
                std::memcpy(entry.digest[kind].data(), number, sizeof(Md5Digest));
                number += sizeof(Md5Digest);
            }
        }
        at += bytes;
    }
    return true;
}

// The names of the files a search learned (native bytes), in one text, in the order of the files.
// Their paths lie scattered in memory: each is asked for well before its name is read, first its
// start (where its length is), then its end (where the name is).
class LearnedNames {
public:
    explicit LearnedNames(const std::vector<IDigestStore::Learned>& files)
    {
        constexpr size_t kAhead = 16;
        m_ends.reserve(files.size());
        m_text.reserve(files.size() * 24);
        for (size_t i = 0; i < files.size(); ++i) {
            if (i + 2 * kAhead < files.size())
                files[i + 2 * kAhead].path->Prefetch();
            if (i + kAhead < files.size()) {
                const std::u16string_view ahead = files[i + kAhead].path->view();
                __builtin_prefetch(ahead.data() + ahead.size() - 1);
            }
            AppendEncodedNativeName(m_text, NameOf(files[i].path->view()));
            m_ends.push_back(static_cast<uint32_t>(m_text.size()));
        }
    }
    // The name of files[index].
    std::string_view operator[](size_t index) const
    {
        const uint32_t start = index == 0 ? 0 : m_ends[index - 1];
        return std::string_view(m_text).substr(start, m_ends[index] - start);
    }

private:
    std::string m_text;
    std::vector<uint32_t> m_ends;
};

// Files grouped by folder: a folder (native bytes) is a row of the table, the name of each of its
// files an entry in it. Each folder is encoded once; the groups come in the byte order of their
// folders. The files of one folder listing (the same folder number) are put together by their
// numbers; the others, and listings of one folder made twice, by their folder's text. A group's
// names are encoded (or taken from the names given) and put in byte order when its members are
// first asked for: a search writes its rows while it does that, and a search that reads the store
// asks only for the groups of folders the store has.
template <typename File>  // with a path and a folder, as IDigestStore::Wanted
class FolderGroups {
public:
    struct Member {
        std::string_view name;  // native bytes
        size_t index;           // of the file given
    };
    struct Group {
        explicit Group(std::string text) : folder(std::move(text)) {}
        std::string folder;
        size_t first = 0;  // its members: m_members[first, first + count)
        size_t count = 0;
        bool named = false;
        bool oneListing = true;  // its files come from one folder listing: each name is there once
        std::string names;       // the members' names, once named
    };
    using Members = std::pair<typename std::vector<Member>::const_iterator, typename std::vector<Member>::const_iterator>;

    // `files` must outlive the groups.
    explicit FolderGroups(const std::vector<File>& files) : m_files(files)
    {
        std::vector<uint32_t> groupOf(files.size());
        uint32_t low = UINT32_MAX;
        uint32_t high = 0;
        for (const File& file : files) {
            if (ListingOf(file) != 0) {
                low = std::min(low, ListingOf(file));
                high = std::max(high, ListingOf(file));
            }
        }
        const bool numbered = low <= high && high - low <= 4 * files.size() + 1024;
        std::vector<uint32_t> byNumber(numbered ? high - low + 1 : 0);  // group + 1 by number - low
        std::unordered_map<uint32_t, uint32_t> numberedElsewhere;       // numbers too spread for it
        std::unordered_map<std::u16string_view, uint32_t> byText;
        std::vector<Group> groups;
        for (size_t i = 0; i < files.size(); ++i) {
            const File& file = files[i];
            if (i + 8 < files.size()) {
                // The folder of a file that begins a group is read: the texts lie scattered.
                PrefetchPath(files[i + 8]);
            }
            uint32_t group = 0;
            const uint32_t listing = ListingOf(file);
            if (listing == 0) {
                const auto [place, added] = byText.try_emplace(FolderOf(PathOf(file)), static_cast<uint32_t>(groups.size()));
                if (added) {
                    groups.emplace_back(EncodeNativeName(place->first));
                    groups.back().oneListing = false;
                }
                group = place->second;
            } else {
                uint32_t* slot = numbered ? &byNumber[listing - low] : &numberedElsewhere[listing];
                if (*slot == 0) {
                    groups.emplace_back(EncodeNativeName(FolderOf(PathOf(file))));
                    *slot = static_cast<uint32_t>(groups.size());
                }
                group = *slot - 1;
            }
            groupOf[i] = group;
            ++groups[group].count;
        }
        // The groups in the order of their folders, one group per folder; then every member in its
        // group's place.
        std::vector<uint32_t> order(groups.size());
        for (uint32_t g = 0; g < order.size(); ++g)
            order[g] = g;
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return groups[a].folder < groups[b].folder; });
        std::vector<uint32_t> finalOf(groups.size());
        for (const uint32_t g : order) {
            if (m_groups.empty() || m_groups.back().folder != groups[g].folder) {
                m_groups.emplace_back(std::move(groups[g].folder));
                m_groups.back().oneListing = groups[g].oneListing;
            } else {
                m_groups.back().oneListing = false;
            }
            finalOf[g] = static_cast<uint32_t>(m_groups.size() - 1);
            m_groups.back().count += groups[g].count;
        }
        size_t first = 0;
        for (Group& group : m_groups) {
            group.first = first;
            first += group.count;
            group.count = 0;
        }
        m_members.resize(files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            Group& group = m_groups[finalOf[groupOf[i]]];
            m_members[group.first + group.count++].index = i;
        }
    }

    // The same, with the names of the files already known (LearnedNames of `files`), which must
    // outlive the groups as well.
    FolderGroups(const std::vector<File>& files, const LearnedNames& names) : FolderGroups(files) { m_names = &names; }

    const std::vector<Group>& Groups() const { return m_groups; }

    // The indices of a group's files, in no particular order until the group is named.
    Members Unnamed(size_t index)
    {
        const auto [first, last] = Range(index);
        return {first, last};
    }

    // The members of a group, in the byte order of their names (and then of their indices).
    Members MembersOf(size_t index)
    {
        Group& group = m_groups[index];
        const auto [first, last] = Range(index);
        if (group.named)
            return {first, last};
        if (m_names) {
            for (auto member = first; member != last; ++member)
                member->name = (*m_names)[member->index];
        } else {
            std::vector<size_t> ends;
            ends.reserve(group.count);
            for (auto member = first; member != last; ++member) {
                AppendEncodedNativeName(group.names, NameOf(PathOf(m_files[member->index])));
                ends.push_back(group.names.size());
            }
            size_t start = 0;
            for (size_t k = 0; k < group.count; ++k) {
                first[static_cast<std::ptrdiff_t>(k)].name = std::string_view(group.names).substr(start, ends[k] - start);
                start = ends[k];
            }
        }
        std::sort(first, last,
                  [](const Member& a, const Member& b) { return std::tie(a.name, a.index) < std::tie(b.name, b.index); });
        group.named = true;
        return {first, last};
    }

    // The members of a group with this name.
    Members Named(size_t index, std::string_view name)
    {
        const auto [begin, end] = MembersOf(index);
        const auto first =
            std::lower_bound(begin, end, name, [](const Member& member, std::string_view key) { return member.name < key; });
        auto last = first;
        while (last != end && last->name == name)
            ++last;
        return {first, last};
    }

private:
    std::pair<typename std::vector<Member>::iterator, typename std::vector<Member>::iterator> Range(size_t index)
    {
        const auto first = m_members.begin() + static_cast<std::ptrdiff_t>(m_groups[index].first);
        return {first, first + static_cast<std::ptrdiff_t>(m_groups[index].count)};
    }

    const std::vector<File>& m_files;
    const LearnedNames* m_names = nullptr;
    std::vector<Group> m_groups;
    std::vector<Member> m_members;
};

// Binds bytes as a blob (also none: an empty blob, not NULL).
void BindBlob(sqlite3_stmt* stmt, int index, std::string_view bytes, sqlite3_destructor_type kind = SQLITE_STATIC)
{
    sqlite3_bind_blob(stmt, index, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()), kind);
}

std::string_view ColumnBlob(sqlite3_stmt* stmt, int column)
{
    const void* bytes = sqlite3_column_blob(stmt, column);
    return bytes ? std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(sqlite3_column_bytes(stmt, column)))
                 : std::string_view();
}

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

// Writes the rows of a transaction: rows are made on the caller while a digest thread stores the
// rows made before them, a stretch of rows at a time. The connection is used by one thread at a
// time: the digest thread between the hand-over of a stretch and the next Add or Remove that fills
// a stretch, or Finish.
class RowWriter {
public:
    explicit RowWriter(sqlite3* db)
        : m_write(db, "INSERT OR REPLACE INTO folder VALUES(?1, ?2, ?3)"), m_remove(db, "DELETE FROM folder WHERE path=?1")
    {
    }
    ~RowWriter() { Wait(); }
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    bool Ok() const { return m_write.Ok() && m_remove.Ok(); }
    // Stores the row `key` (whose text must outlive Finish), replacing the one stored; `lastUse` is
    // the last day any of its entries was used.
    void Add(std::string_view key, std::string&& blob, int64_t lastUse)
    {
        if (m_making.size() == kRowsPerStretch)
            HandOver();
        m_making.push_back(Row{key, lastUse, std::move(blob)});
    }
    // Deletes the row `key` (whose text must outlive Finish).
    void Remove(std::string_view key) { Add(key, std::string(), 0); }
    // Stores the rows left; true when every row was stored.
    bool Finish()
    {
        HandOver();
        Wait();
        return !m_failed;
    }

private:
    struct Row {
        std::string_view key;
        int64_t lastUse = 0;
        std::string blob;  // empty: the row is deleted
    };
    // Enough rows that handing them over costs little beside storing them, few enough that the
    // last stretch, stored after every row is made, is short.
    static constexpr size_t kRowsPerStretch = 32;

    void HandOver()
    {
        Wait();
        std::swap(m_making, m_storing);
        m_making.clear();
        if (m_storing.empty() || m_failed)
            return;
        CDigestPool::Instance().Start(1, [this](size_t) { Store(); });
        m_started = true;
    }
    void Wait()
    {
        if (m_started)
            CDigestPool::Instance().Finish();
        m_started = false;
    }
    // On the digest thread.
    void Store()
    {
        for (const Row& row : m_storing) {
            const bool remove = row.blob.empty();
            sqlite3_stmt* const stmt = remove ? *m_remove : *m_write;
            sqlite3_reset(stmt);
            BindBlob(stmt, 1, row.key);
            if (!remove) {
                sqlite3_bind_int64(stmt, 2, row.lastUse);
                BindBlob(stmt, 3, row.blob);
            }
            if (sqlite3_step(stmt) != SQLITE_DONE) {
                m_failed = true;
                return;
            }
        }
    }

    Statement m_write;
    Statement m_remove;
    std::vector<Row> m_making;   // rows being made
    std::vector<Row> m_storing;  // rows handed to the digest thread
    bool m_started = false;
    bool m_failed = false;
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

}  // namespace

CSqliteDigestStore::CSqliteDigestStore(std::string file) : m_file(std::move(file))
{
}

CSqliteDigestStore::~CSqliteDigestStore()
{
    WaitForPrepared();
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
    if (sqlite3_prepare_v2(m_db, "SELECT path, entries FROM folder WHERE path>=?1 ORDER BY path", -1, &m_select, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(m_db, "SELECT path FROM folder WHERE path<=?1 ORDER BY path DESC LIMIT 1", -1, &m_floor, nullptr) !=
            SQLITE_OK) {
        Fail(sqlite3_errmsg(m_db));
        return false;
    }
    // A store without entries answers no lookup: the first search of a new store asks none.
    Statement any(m_db, "SELECT 1 FROM folder LIMIT 1");
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
    // A file of the version before is ours to take over: its entries only cost a search's reads.
    const bool replace = application == kApplicationId &&
        std::find(std::begin(kReplacedSchemaVersions), std::end(kReplacedSchemaVersions), version) !=
            std::end(kReplacedSchemaVersions);
    if (application == kApplicationId && version != kSchemaVersion && !replace) {
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
    // A new file gets pages of 16 KiB (set before the log is, which fixes the size): a row of
    // about 15 KiB then fills a page, and a search writes few pages.
    std::string error;
    if ((application == 0 && tables == 0 && ExecWaiting(m_db, "PRAGMA page_size=16384;", error) != SQLITE_OK) ||
        ExecWaiting(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) != SQLITE_OK ||
        (application == 0 && ExecWaiting(m_db, "BEGIN IMMEDIATE;" + kCreate + "COMMIT;", error) != SQLITE_OK) ||
        (replace &&
         ExecWaiting(m_db, "BEGIN IMMEDIATE; DROP TABLE IF EXISTS digest; DROP TABLE IF EXISTS folder;" + kCreate + "COMMIT;",
                     error) != SQLITE_OK)) {
        Fail(error);
        return false;
    }
    return true;
}

bool CSqliteDigestStore::ParseSections(std::string_view key, std::string_view blob, std::vector<Section>& sections)
{
    sections.clear();
    size_t at = 0;
    const auto take = [&](std::string_view& part) {
        if (blob.size() - at < 4)
            return false;
        const size_t bytes = GetNumber(blob.data() + at, 4);
        at += 4;
        if (blob.size() - at < bytes)
            return false;
        part = blob.substr(at, bytes);
        at += bytes;
        return true;
    };
    while (at < blob.size()) {
        Section section;
        if (!take(section.folder) || !take(section.entries) || section.entries.empty())
            return false;
        if (sections.empty() ? section.folder != key : section.folder <= sections.back().folder)
            return false;
        sections.push_back(section);
    }
    return !sections.empty();
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
        BindBlob(m_floor, 1, folder);
        const int rc = sqlite3_step(m_floor);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return false;
        sqlite3_reset(m_select);
        if (rc == SQLITE_DONE)
            BindBlob(m_select, 1, folder);  // no row before it
        else
            BindBlob(m_select, 1, ColumnBlob(m_floor, 0), SQLITE_TRANSIENT);
        sqlite3_reset(m_floor);
        return true;
    };
    std::vector<Section> sections;
    size_t next = 0;   // the first folder not placed yet
    int unwanted = 0;  // rows passed since the last wanted one
    bool ok = seek(folders.front());
    while (ok && next < folders.size()) {
        const int rc = sqlite3_step(m_select);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW || !ParseSections(ColumnBlob(m_select, 0), ColumnBlob(m_select, 1), sections)) {
            ok = false;
            break;
        }
        const Row row{ColumnBlob(m_select, 0), ColumnBlob(m_select, 1), sections};
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

// What a save needs first of the files it is given: their names, and the files grouped by folder.
// It refers to the files given (or keeps them).
struct CSqliteDigestStore::Prepared {
    explicit Prepared(const std::vector<Learned>& given) : files(given), names(files), groups(files, names) {}
    explicit Prepared(std::vector<Learned>&& kept) : own(std::move(kept)), files(own), names(files), groups(files, names) {}

    std::vector<Learned> own;
    const std::vector<Learned>& files;
    LearnedNames names;
    FolderGroups<Learned> groups;
};

void CSqliteDigestStore::Foresee(std::vector<Learned> files)
{
    WaitForPrepared();
    m_prepared.reset();
    if (!m_problem.empty() || CDigestPool::Instance().InForkedChild())
        return;
    m_preparing =
        std::thread([this, files = std::move(files)]() mutable { m_prepared = std::make_unique<Prepared>(std::move(files)); });
}

void CSqliteDigestStore::Settle()
{
    WaitForPrepared();
    m_prepared.reset();  // made for a search that is over
    WaitForCheckpoint();
}

void CSqliteDigestStore::WaitForPrepared()
{
    if (m_preparing.joinable())
        m_preparing.join();
}

std::unique_ptr<CSqliteDigestStore::Prepared> CSqliteDigestStore::TakePrepared(const std::vector<Learned>& files)
{
    WaitForPrepared();
    std::unique_ptr<Prepared> prepared = std::move(m_prepared);
    if (!prepared || prepared->files.size() != files.size())
        return nullptr;
    for (size_t i = 0; i < files.size(); ++i)
        if (prepared->files[i].path != files[i].path || prepared->files[i].folder != files[i].folder)
            return nullptr;
    return prepared;
}

void CSqliteDigestStore::Load(DigestKinds kinds, const std::vector<Wanted>& wanted, std::vector<Found>& found)
{
    if (wanted.empty() || !Open() || m_empty)
        return;
    const int64_t today = Today();
    FolderGroups groups(wanted);
    std::vector<std::string_view> folders;
    for (const auto& group : groups.Groups())
        folders.push_back(group.folder);
    std::vector<StoredEntry> entries;
    const auto visitFolder = [&](size_t index, std::string_view blob) {
        if (!ParseEntries(blob, entries))
            return false;
        std::vector<std::pair<int, std::string>>* used = nullptr;
        for (const StoredEntry& entry : entries) {
            const DigestKinds held = kinds & ((entry.has[0] ? 1u : 0u) | (entry.has[1] ? 2u : 0u));
            if (held == 0)
                continue;
            const auto [first, last] = groups.Named(index, entry.name);
            if (first == last)
                continue;
            for (int kind = 0; kind < 2; ++kind) {
                if (!(held & KindsOf(static_cast<EDigestKind>(kind))))
                    continue;
                if (entry.used < today) {
                    if (!used)
                        used = &m_used[std::string(folders[index])];
                    used->emplace_back(kind, std::string(entry.name));
                }
                // A path wanted twice (a folder walked twice) gets the entry twice.
                for (auto member = first; member != last; ++member) {
                    CFileRecord& out = found.emplace_back(Found{member->index, static_cast<EDigestKind>(kind), {}}).entry;
                    out.identity.device = entry.device;
                    out.identity.inode = entry.inode;
                    out.size = entry.size;
                    out.lastWrite = entry.lastWrite;
                    out.changeTime = entry.changeTime;
                    out.digest = entry.digest[kind];
                }
            }
        }
        return true;
    };
    // The sections of the rows met, beside the folders wanted.
    const auto visit = [&](const Row* row, size_t first, size_t last) {
        if (!row)
            return true;
        size_t index = first;
        for (const Section& section : row->sections) {
            while (index < last && folders[index] < section.folder)
                ++index;
            if (index == last)
                break;
            if (folders[index] == section.folder && !visitFolder(index++, section.entries))
                return false;
        }
        return true;
    };
    const bool ok = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK && WalkRows(folders, visit);
    if (!ok) {
        const std::string what = sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail("unreadable, left as it is (" + what + ")");
        return;
    }
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
}

void CSqliteDigestStore::Save(const std::vector<Learned>& learned)
{
    std::unique_ptr<Prepared> prepared = TakePrepared(learned);
    if (learned.empty() && m_used.empty() && m_expired)
        return;
    if (!Open())
        return;
    const int64_t today = Today();
    // The folders written: those of the files learned, and those of entries loaded to be marked
    // used today.
    if (!prepared)
        prepared = std::make_unique<Prepared>(learned);
    const LearnedNames& names = prepared->names;
    FolderGroups<Learned>& groups = prepared->groups;
    std::vector<std::string_view> folders;
    for (const auto& group : groups.Groups())
        folders.push_back(group.folder);
    for (auto& [folder, uses] : m_used) {
        folders.push_back(folder);
        std::sort(uses.begin(), uses.end());
    }
    if (!m_used.empty()) {
        std::sort(folders.begin(), folders.end());
        folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    }

    Statement expire(m_db, "DELETE FROM folder WHERE used<?1");
    bool ok = expire.Ok() && sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    // The places of the folders as they are now, inside the transaction (what another program
    // wrote meanwhile stays): the rows that hold them, copied, and the stretches between rows.
    struct Place {
        bool stored = false;
        std::string key;
        std::string blob;
        size_t first = 0;  // the folders written in its place: folders[first, last)
        size_t last = 0;
    };
    std::vector<Place> places;
    ok = ok && WalkRows(folders, [&](const Row* row, size_t first, size_t last) {
             places.push_back(row ? Place{true, std::string(row->key), std::string(row->blob), first, last}
                                  : Place{false, {}, {}, first, last});
             return true;
         });
    RowWriter rows(m_db);
    ok = ok && rows.Ok();

    // The entries of one folder, merged name by name, for each kind: the digest learned, else the
    // one stored (marked used today when it was loaded, dropped when unused for too long). Two
    // digests of one state share an entry. Appended to `blob`; returns the last day of use.
    std::vector<StoredEntry> entries;
    std::vector<StoredEntry> merged;
    const auto mergeFolder = [&](std::string_view folder, std::string_view storedEntries, size_t group,
                                 std::string& blob) -> std::optional<int64_t> {
        if (!ParseEntries(storedEntries, entries))
            return std::nullopt;
        const auto uses = m_used.empty() ? m_used.end() : m_used.find(std::string(folder));
        const auto usedToday = [&](int kind, std::string_view name) {
            return uses != m_used.end() &&
                std::binary_search(uses->second.begin(), uses->second.end(), std::pair<int, std::string>(kind, name));
        };
        std::stable_sort(entries.begin(), entries.end(),
                         [](const StoredEntry& a, const StoredEntry& b) { return a.name < b.name; });
        merged.clear();
        auto entry = entries.begin();
        auto [member, membersEnd] = group != SIZE_MAX ? groups.MembersOf(group) : FolderGroups<Learned>::Members();
        while (entry != entries.end() || member != membersEnd) {
            std::string_view name = entry != entries.end() ? entry->name : member->name;
            if (member != membersEnd && member->name < name)
                name = member->name;
            StoredEntry byKind[2];
            for (; entry != entries.end() && entry->name == name; ++entry) {
                for (int kind = 0; kind < 2; ++kind) {
                    if (!entry->has[kind])
                        continue;
                    StoredEntry& kept = byKind[kind];
                    kept = *entry;
                    kept.has[0] = kept.has[1] = false;
                    kept.has[kind] = true;
                    if (usedToday(kind, name))
                        kept.used = today;
                    if (kept.used < today - kKeepDays)
                        kept.has[kind] = false;
                }
            }
            for (; member != membersEnd && member->name == name; ++member) {
                for (int kind = 0; kind < 2; ++kind) {
                    const CFileRecord* const state = learned[member->index].entry[kind];
                    if (!state)
                        continue;
                    StoredEntry& made = byKind[kind];
                    made = StoredEntry{};
                    made.name = name;
                    made.device = state->identity.device;
                    made.inode = state->identity.inode;
                    made.size = state->size;
                    made.lastWrite = state->lastWrite;
                    made.changeTime = state->changeTime;
                    made.used = today;
                    made.has[kind] = true;
                    made.digest[kind] = state->digest;
                }
            }
            if (byKind[0].has[0] && byKind[1].has[1] && byKind[0].State() == byKind[1].State()) {
                byKind[0].has[1] = true;
                byKind[0].digest[1] = byKind[1].digest[1];
                byKind[0].used = std::max(byKind[0].used, byKind[1].used);
                byKind[1].has[1] = false;
            }
            if (name.empty())
                continue;  // not the path of a file
            for (const StoredEntry& kept : byKind)
                if (kept.has[0] || kept.has[1])
                    merged.push_back(kept);
        }
        int64_t lastUse = 0;
        for (const StoredEntry& kept : merged) {
            AppendEntry(blob, kept);
            lastUse = std::max(lastUse, kept.used);
        }
        return lastUse;
    };
    // The files of a folder listed once, that the store had none of, are written as they come.
    const auto writeLearned = [&](size_t group, std::string& blob) {
        const auto [first, last] = groups.Unnamed(group);
        for (auto member = first; member != last; ++member) {
            const std::string_view name = names[member->index];
            const auto& [quick, full] = learned[member->index].entry;
            if (name.empty())
                continue;  // not the path of a file
            if (quick && full && !CachedDigestFits(*quick, *full)) {
                // Digests of two states: an entry each.
                AppendLearnedEntry(blob, name, {quick, nullptr}, today);
                AppendLearnedEntry(blob, name, {nullptr, full}, today);
            } else {
                AppendLearnedEntry(blob, name, {quick, full}, today);
            }
        }
    };

    // Each place is written again: its stored folders and the folders written into it, in byte
    // order, as rows of about kRowBytes. Its row is deleted when no new row takes its key.
    std::vector<Section> stored;
    size_t group = 0;
    for (size_t p = 0; ok && p < places.size(); ++p) {
        const Place& place = places[p];
        ok = !place.stored || ParseSections(place.key, place.blob, stored);
        if (!place.stored)
            stored.clear();
        std::string blob;
        std::string_view key;
        int64_t lastUse = 0;
        bool keyKept = false;
        const auto endRow = [&] {
            if (blob.empty())
                return;
            keyKept = keyKept || (place.stored && key == place.key);
            rows.Add(key, std::move(blob), lastUse);
            blob = std::string();
            lastUse = 0;
        };
        size_t s = 0;
        size_t index = place.first;
        while (ok && (s < stored.size() || index < place.last)) {
            const bool fromStore = s < stored.size() && (index == place.last || stored[s].folder <= folders[index]);
            const std::string_view folder = fromStore ? stored[s].folder : folders[index];
            const std::string_view storedEntries = fromStore ? stored[s++].entries : std::string_view();
            if (index < place.last && folders[index] == folder)
                ++index;
            while (group < groups.Groups().size() && groups.Groups()[group].folder < folder)
                ++group;
            const bool learnedHere = group < groups.Groups().size() && groups.Groups()[group].folder == folder;
            if (learnedHere && group + 2 < groups.Groups().size()) {
                // The entries of the groups ahead lie scattered: they are asked for now.
                const auto [first, last] = groups.Unnamed(group + 2);
                for (auto member = first; member != last; ++member)
                    for (const CFileRecord* entry : learned[member->index].entry)
                        if (entry)
                            PrefetchRecord(entry);
            }
            // The section: the folder, then its entries.
            const size_t start = blob.size();
            blob.resize(start + 4);
            PutNumber<4>(blob.data() + start, folder.size());
            blob.append(folder);
            const size_t entriesAt = blob.size();
            blob.resize(entriesAt + 4);
            int64_t use = today;
            if (learnedHere && storedEntries.empty() && groups.Groups()[group].oneListing) {
                writeLearned(group, blob);
            } else if (const auto merged = mergeFolder(folder, storedEntries, learnedHere ? group : SIZE_MAX, blob)) {
                use = *merged;
            } else {
                ok = false;
            }
            if (blob.size() == entriesAt + 4) {
                blob.resize(start);  // nothing left of the folder
                continue;
            }
            PutNumber<4>(blob.data() + entriesAt, blob.size() - entriesAt - 4);
            if (start == 0) {
                key = folder;
            } else if (key.size() + blob.size() > kRowBytes) {
                // The folder begins the next row.
                std::string section = blob.substr(start);
                blob.resize(start);
                endRow();
                blob = std::move(section);
                key = folder;
            }
            lastUse = std::max(lastUse, use);
        }
        endRow();
        if (place.stored && !keyKept)
            rows.Remove(place.key);
    }
    ok = rows.Finish() && ok;
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
    m_empty = m_empty && learned.empty();
    // The log is copied into the file on a thread of its own, while the program goes on (showing
    // or printing the rows); the next use of the store, or its end, waits for it. A copy that
    // fails or finds readers in the way leaves the rest of the log for a later one: the log
    // stays part of the file until then. A forked child starts no thread: closing copies it.
    if (!learned.empty() && !CDigestPool::Instance().InForkedChild())
        m_checkpoint =
            std::thread([db = m_db] { sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr); });
}
