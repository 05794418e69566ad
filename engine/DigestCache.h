#pragma once
// A digest cache: path (exact code units) -> the record as it was when digested (digest, size,
// times, identity). Looked up by path only: its entries come in no particular order.
//
// Beside its hashed entries it keeps, in the order of the last listing, the entry that answered
// for each listed file. A repeated search lists an unchanged tree in the same order, so the next
// listing finds most of its entries by walking the two listings side by side, in memory order,
// instead of by one scattered hashed lookup per file. That order is only a faster way to the same
// answers: an entry found there answers for a record exactly when the hashed one would
// (Fits), and clear() forgets both. Used on the search worker; the digest threads may
// call the const members while nobody changes the cache.
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/FileRecord.h"

class CDigestCache {
public:
    CDigestCache() = default;
    // The listing places point at the entries: a copy, a swap or a move of the entries would leave
    // them pointing into another cache, so there is none.
    CDigestCache(const CDigestCache&) = delete;
    CDigestCache& operator=(const CDigestCache&) = delete;

    // The rule of every entry, hashed, held or stored: it answers for a listed record of its path
    // exactly when it was taken of the state the record was listed in.
    static bool Fits(const CFileRecord& entry, const CFileRecord& listed) { return entry.State() == listed.State(); }

    // The entry kept under this path, whatever state it describes; nullptr for none.
    const CFileRecord* Find(const CPathString& path) const
    {
        const auto found = m_entries.find(path);
        return found != m_entries.end() ? &found->second : nullptr;
    }
    // The hashed entry that answers for a record: its path's, of an equal state; nullptr when there
    // is none (the held entries are not looked up by path: see Hold).
    const CFileRecord* Fitting(const CFileRecord& record) const
    {
        const CFileRecord* entry = Find(record.path);
        return entry && Fits(*entry, record) ? entry : nullptr;
    }
    // Makes `entry` the entry of its path, replacing the one there; returns the entry as kept.
    const CFileRecord& Keep(const CFileRecord& entry) { return m_entries.insert_or_assign(entry.path, entry).first->second; }
    // After the digest of a listed record was computed (`digest`; nullptr when it failed): the entry
    // that answers for the record from now on (nullptr for none), and whether it is the one just
    // computed. One hashed probe finds the path's entry or makes it. An entry of the path that fits
    // the record answers whatever was computed (the path was digested meanwhile: a folder walked
    // twice); otherwise a computed digest becomes the path's entry (the record with `digest` and
    // `strong`, zeros for a quick digest), and a failure removes an entry that does not fit.
    struct Kept {
        const CFileRecord* entry = nullptr;
        bool computed = false;
    };
    Kept KeepComputed(const CFileRecord& listed, const Md5Digest* digest, const StrongDigest& strong = {});
    // Removes the entry of the path, if any. The listing order keeps no entry that is gone: every
    // place it knew before is forgotten, and the held entries with it (the hashed entries and the
    // store still answer for their records).
    void Remove(const CPathString& path);

    // Forgets every entry, and the listing order with them.
    void clear() noexcept
    {
        m_entries.clear();
        m_held = decltype(m_held)();
        m_heldCount = 0;
        m_learned.clear();
        m_learnedElsewhere.clear();
        m_listed.clear();
        m_folderRuns.clear();
        m_previous.clear();
    }
    // Gives the hashed entries room for this many in all, so that a search that inserts about as
    // many does not rehash on the way.
    void Reserve(size_t entries) { m_entries.reserve(entries); }

    // At the start of a search's grouping phase the run's listing is matched against the previous
    // one, record by record in scan order: BeginListing, then MatchNext for every record (numbered
    // with its listPosition), then EndListing. A record that names the same path as the next
    // record of the previous listing (or the one after it, when a file was removed between the
    // two) shares that path's text, and when it fits the entry that answered for it, that entry
    // answers for it now. Every record of the listing gets a place.
    void BeginListing(size_t records);
    void MatchNext(CFileRecord& record);
    void EndListing();

    // The entry that answers for a record of the current listing, or nullptr when the listing
    // order knows none (a hashed entry may still answer). Never an entry that does not fit it.
    const CFileRecord* Listed(const CFileRecord& record) const;

    // For the scan of a search: the path `prefix` + `name`, sharing its text with the record the last
    // listing held at this point of the walk (the scan meets an unchanged tree's files in the same
    // order, and the listing matches by shared text at once), or a new text. RewindListing starts
    // a walk.
    CPathString ListedPath(std::u16string_view prefix, std::u16string_view name);
    void RewindListing() { m_walked = 0; }

    // Asks the processor to fetch the place of a record of the current listing (Prefetch), then,
    // once that place is at hand, the entry it names (PrefetchEntry): a lookup that follows soon
    // after finds both at hand. Has no other effect.
    void Prefetch(const CFileRecord& record) const
    {
        if (record.listPosition < m_listed.size())
            __builtin_prefetch(&m_listed[record.listPosition]);
    }
    void PrefetchEntry(const CFileRecord& record) const
    {
        if (record.listPosition < m_listed.size() && m_listed[record.listPosition].entry)
            __builtin_prefetch(m_listed[record.listPosition].entry);
    }

    // Remembers `entry`, an entry of this cache, as the one that answers for the record of the
    // current listing (when it fits it: Listed asks); a record that is not the one listed at its
    // position is ignored. Search worker only.
    void NoteListed(const CFileRecord& record, const CFileRecord& entry);

    // Marks `entry`, an entry of this cache just computed for `record`, as learned: one the store
    // has yet to keep (TakeLearned).
    void NoteLearned(const CFileRecord& record, const CFileRecord& entry);
    // An entry learned: its place in the current listing (kElsewhere for a record outside it), its
    // folder listing (CFileRecord::folder) and path, and the entry. The path is the cache's and
    // valid while the cache is unchanged; the entry's own path is the same text.
    struct Learned {
        static constexpr uint32_t kElsewhere = UINT32_MAX;
        uint32_t place;
        uint32_t folder;
        const CPathString* path;  // the cache's
        const CFileRecord* entry;
    };
    // The entries learned since the last call that the cache still holds, each once, those of the
    // current listing's records in the listing's order (the order of the scan: the records of a
    // folder lie together), then the others. Reads neither the entries nor the texts of their paths
    // to tell their paths and folders. Forgets the marks.
    std::vector<Learned> TakeLearned();

    // Entries read in bulk for the records of the current listing, held beside the hashed ones
    // when the cache holds none: each answers for the record at its listPosition (when its path
    // is that record's), through the listing order alone. A lookup by path does not find them, so
    // a record they cannot answer for is looked up as if they were not there. They go with clear(),
    // and when the listing order forgets its entries. Returns false, and holds nothing, when the
    // cache holds entries already.
    // They come in parts (each never grows while held: the entries stay where they are).
    bool Hold(std::vector<std::vector<CFileRecord>>&& entries);

    // The entries, hashed and held.
    size_t size() const noexcept { return m_entries.size() + m_heldCount; }
    bool empty() const noexcept { return m_entries.empty() && m_heldCount == 0; }

private:
    // A listed record's place: its path, and the entry that answered for it last (checked against
    // the record before it answers), which is only looked at while it is there: removing any entry forgets them all (the entries themselves never move,
    // and removals are rare: an entry that no longer fits a file whose digest then fails).
    struct Slot {
        CPathString path;
        const CFileRecord* entry = nullptr;
    };
    const Slot* SlotOf(const CFileRecord& record) const;
    void ForgetEntries();

    // The hashed entries, owned here alone: nothing outside can move them from under the places.
    std::unordered_map<CPathString, CFileRecord, PathHash> m_entries;
    std::vector<std::vector<CFileRecord>> m_held;  // see Hold
    size_t m_heldCount = 0;
    // The listing places whose entries were learned, a bit each (see NoteLearned), and the paths
    // of those learned for records outside the listing.
    std::vector<uint64_t> m_learned;
    std::vector<CPathString> m_learnedElsewhere;
    std::vector<Slot> m_listed;
    // The folder listings of the places of m_listed: (first place, folder) of each run of places
    // with one folder listing (CFileRecord::folder). A folder's files lie together in a listing.
    std::vector<std::pair<uint32_t, uint32_t>> m_folderRuns;
    std::vector<Slot> m_previous;  // while a listing is matched
    size_t m_next = 0;             // the first slot of m_previous not matched yet
    size_t m_walked = 0;           // the first slot of m_listed the scan has not met yet
};
