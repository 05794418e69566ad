#pragma once
// A store of digests that outlives the process, beneath the two in-memory caches. A search loads
// from it, in bulk, the entries for the files whose digests it is about to need and cannot find
// in memory (see CPhaseDigests), and saves what it digested when it ends. A stored digest stands
// for a file only in an equal FileState, as for the caches in memory. Used by one thread at a
// time: the search worker, or a digest thread reading for it while the worker waits or does other
// work.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DigestKind.h"
#include "engine/FileRecord.h"

class IDigestStore {
public:
    virtual ~IDigestStore() = default;
    // A file whose entries are wanted: its path, and the number of the folder listing that found
    // it (CFileRecord::folder; 0 for none). The path's text must outlive the call.
    struct Wanted {
        std::u16string_view path;
        uint32_t folder;
    };
    // A file whose entries a search learned: its path and folder listing (as for Wanted) and its
    // entry of each kind, by kind (nullptr for none; each with the file's path). The two entries
    // may describe different states of the file (it changed between its two digests).
    struct Learned {
        const CPathString* path;
        uint32_t folder;
        std::array<const CFileRecord*, 2> entry;
    };
    // An entry found for a wanted file.
    struct Found {
        size_t wanted;  // the index of the file it was looked up for
        EDigestKind kind;
        CFileRecord entry;  // the digest and the state as stored; no path
    };
    // Appends to `found` the stored entry of every wanted file whose path has one of the given
    // kinds, for each of those kinds; `found` may come in any order. Entries found count as used
    // (recorded by the next Save). Nothing on failure (the store is then unusable; see Problem).
    // One thread at a time, not necessarily the search worker's.
    virtual void Load(DigestKinds kinds, const std::vector<Wanted>& wanted, std::vector<Found>& found) = 0;
    // In one transaction: stores the entries learned (each replacing the stored one of its path and
    // kind) as used now, records the use of the entries loaded since the last Save, and drops
    // entries unused for 90 days. The paths must outlive the call. Nothing on failure.
    virtual void Save(const std::vector<Learned>& learned) = 0;
    // Why the store cannot be used (it is damaged, foreign, locked, or cannot be created), for one
    // line to the user; empty while it works. Once it has a problem the store stays unused for the
    // rest of the process and its file is left as it is.
    virtual std::string Problem() const = 0;
    // Whether the store can answer no lookup now: it holds no entry, or cannot be used.
    virtual bool HoldsNothing() = 0;
    // Waits for what the last Save left running in the background, if anything; at the
    // start of a search, so that a search never lists the store's own files while they change.
    virtual void Settle() {}
};

// The store the next searches use; nullptr for none. At start-up it is the per-user store
// (CSqliteDigestStore::PerUser, opened when a search first needs it).
extern IDigestStore* g_digestStore;

// For the search run, when it ends (also after a stop): saves the digests the run computed, and
// marks those it loaded as used, then forgets them.
void SaveLearnedDigests();
