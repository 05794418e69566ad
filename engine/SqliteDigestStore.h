#pragma once
// The digest store in an SQLite file (write-ahead log, so that searches in several programs may
// read and write it at once). The file is opened when a search first needs it; a file that is
// damaged, made by something else or by another version, locked for too long, or that cannot be
// created is left exactly as it is, and the store stays unused for the rest of the process
// (Problem says why). Used by one thread at a time (see IDigestStore).
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/DigestStore.h"
#include "engine/FolderGroups.h"
#include "engine/StoreCodec.h"
#include "engine/StoreSave.h"

class CSqliteDigestStore final : public IDigestStore {
public:
    // A store in the file at `file` (native path); its folder is created when missing.
    explicit CSqliteDigestStore(std::string file);
    ~CSqliteDigestStore() override;
    CSqliteDigestStore(const CSqliteDigestStore&) = delete;
    CSqliteDigestStore& operator=(const CSqliteDigestStore&) = delete;

    void Load(DigestKinds kinds, const std::vector<Wanted>& wanted, std::vector<Found>& found) override;
    void Save(const std::vector<Learned>& learned) override;
    std::string Problem() const override { return m_problem; }
    bool HoldsNothing() override { return !Open() || m_empty; }
    void Settle() override;

    // The file of the per-user store: ${XDG_CACHE_HOME:-$HOME/.cache}/velvane/quillon/digests.sqlite
    // (an XDG_CACHE_HOME that is not absolute is ignored); empty when there is no home folder.
    static std::string PerUserFile();
    // The per-user store of the process, in PerUserFile as it is when a search first opens it.
    static CSqliteDigestStore& PerUser();

    // The day (since 1970, UTC) taken as today; the clock's unless a test set one.
    void SetToday(int64_t day) { m_today = day; }
    // Entries not used for this many days are dropped when the store is saved.
    static constexpr int64_t kKeepDays = 90;

private:
    bool Open();
    // Waits for the copy of the log into the file begun by the last Save, if any.
    void WaitForCheckpoint();
    bool Validate();
    // Whether the store's folder is the user's own and writable by nobody else, and its name no
    // link: the store is used only there (error says why not). Sets m_readOnly.
    bool SafePlace(std::string& error);
    void Fail(const std::string& what);
    void Close();
    int64_t Today() const;

    std::string m_file;
    std::string m_problem;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_select = nullptr;  // the rows from a key on, in key order
    sqlite3_stmt* m_floor = nullptr;   // the key of the last row at or before a folder
    bool m_perUser = false;            // the file is PerUserFile, found when first opened
    bool m_expired = false;            // old entries were dropped by this process already
    bool m_empty = false;              // the store held no entry when opened, and none was saved since
    bool m_readOnly = false;           // the store or its folder cannot be written: it is read alone
    int64_t m_today = -1;
    std::thread m_checkpoint;  // see Save
    // A row of the table as read: its key and blob, and the sections parsed from it.
    struct Row {
        std::string_view key;
        std::string_view blob;
        const std::vector<StoredSection>& sections;
    };
    // Walks, in key order, the places of `folders` (native paths, sorted, each once), calling
    // visit(row, first, last) for each place that holds some of them, folders[first, last), until
    // it returns false. The place is either a row whose folders, from its first to its last, span
    // these folders, or (row nullptr) a stretch between two rows (or before the first row, or after
    // the last) that no row holds. The row's views are valid during the call only. A row whose
    // checksum or sections are damaged is passed as if it were not there (m_damagedRows). False
    // when the table cannot be read, or when visit returned false.
    using RowVisit = std::function<bool(const Row* row, size_t first, size_t last)>;
    bool WalkRows(const std::vector<std::string_view>& folders, const RowVisit& visit);

    // The found entries of a wanted folder's section (group of `groups`), appended to `found`.
    void LoadFolder(CFolderGroups<Wanted>& groups, size_t group, const std::vector<StoredEntry>& entries, DigestKinds kinds,
                    int64_t today, std::vector<Found>& found);
    // The transaction of a save; the reason of its first failure (the transaction then still open),
    // empty on success.
    std::string WriteSave(CStoreSave& save, int64_t today);

    // Entries loaded with an older day of use, marked used by the next save.
    UsedEntries m_used;
    // The keys of the rows the last WalkRows found damaged (read as absent).
    std::vector<std::string> m_damagedRows;
};
