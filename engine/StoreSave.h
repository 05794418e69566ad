#pragma once
// The rows of one save of the digest store: each place the save writes (a row of the table, or a
// stretch between rows that no row holds) is made again with what the search learned merged into
// what it held, as rows of about a page. Pure work on bytes; the store runs the transaction around
// it. Search worker.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/DigestStore.h"
#include "engine/FolderGroups.h"
#include "engine/StoreCodec.h"

class CLearnedNames;
class CRowWriter;

// Entries loaded with an older day of use, by folder (native path): their kinds and names, to be
// marked used today by the next save.
using UsedEntries = std::unordered_map<std::string, std::vector<std::pair<int, std::string>>>;

class CStoreSave {
public:
    using Learned = IDigestStore::Learned;
    // A place of the table as it is inside the save's transaction: a row (its key and blob,
    // copied) or a stretch between rows; and the folders written into it, Folders()[first, last).
    struct Place {
        bool stored = false;
        std::string key;
        std::string blob;
        size_t first = 0;
        size_t last = 0;
    };

    // A save of the files `learned` (grouped by folder in `groups`, named by `names`) and of the
    // use of `used`, on day `today`; entries last used before `oldest` are dropped from the rows it
    // writes. All must outlive it.
    CStoreSave(const std::vector<Learned>& learned, CFolderGroups<Learned>& groups, const CLearnedNames& names, UsedEntries& used,
               int64_t today, int64_t oldest);

    // The folders written, in byte order, each once: those of the files learned and those of
    // entries used.
    const std::vector<std::string_view>& Folders() const { return m_folders; }
    // Writes a place again, the places in key order: its stored folders and the folders written
    // into it, in byte order; its row is removed when no new row takes its key. False when the
    // place's row is damaged.
    bool WritePlace(const Place& place, CRowWriter& rows);

private:
    // The row being made.
    struct Row {
        std::string blob;
        std::string_view key;
        int64_t lastUse = 0;
        bool keyKept = false;  // a row made took the place's key
    };
    bool WriteFolder(std::string_view folder, std::string_view storedEntries, const Place& place, Row& row, CRowWriter& rows);
    void EndRow(const Place& place, Row& row, CRowWriter& rows) const;
    // The entries of a folder, merged name by name (see the .cpp), appended to `blob`; `lastUse`
    // is the last day of use among them. False when the stored entries are damaged.
    bool MergeFolder(std::string_view folder, std::string_view storedEntries, size_t group, std::string& blob, int64_t& lastUse);
    std::vector<StoredEntry>::const_iterator TakeStored(std::vector<StoredEntry>::const_iterator entry, std::string_view name,
                                                        const std::vector<std::pair<int, std::string>>* uses,
                                                        StoredEntry (&byKind)[2]) const;
    CFolderGroups<Learned>::MemberIterator TakeLearned(CFolderGroups<Learned>::MemberIterator member,
                                                       CFolderGroups<Learned>::MemberIterator end, std::string_view name,
                                                       StoredEntry (&byKind)[2]) const;
    // The files of a folder listed once, that the store had none of, as they come.
    void WriteLearned(size_t group, std::string& blob) const;
    // Asks the processor to fetch the entries of a group, which lie scattered.
    void PrefetchGroup(size_t group) const;

    const std::vector<Learned>& m_learned;
    CFolderGroups<Learned>& m_groups;
    const CLearnedNames& m_names;
    UsedEntries& m_used;
    const int64_t m_today;
    const int64_t m_oldest;
    std::vector<std::string_view> m_folders;
    size_t m_group = 0;  // the first group whose folder was not passed yet
    std::vector<StoredSection> m_sections;
    std::vector<StoredEntry> m_entries;
    std::vector<StoredEntry> m_merged;
};
