#pragma once
// The one door through which a phase of a search gets digests: the grouping phase its records'
// quick digests, the pairing phase their full digests. Every answer is the one the plain rule
// gives at the moment it is asked: a digest kept for the record's path in an equal FileState, else
// the digest read from the file now (cached once read; a digest of more than one step taken after
// a stop request fails, as if it had been read then).
//
// Where a digest comes from, top to bottom, as a search reads it:
//   while the scan lists files, the digest threads do one of two things (IScanCompanion):
//     a. read the store on disk for every listed record: its entries become the caches' held
//        entries when the grouping phase begins (CEarlyStoredDigests);
//     b. or read the quick digests of records whose size was listed before (CEarlyDigests);
//   before a phase, when memory holds few of the records the phase will ask for:
//     c. ReadStoreForPhase: the store, read in bulk for those records, into the hashed entries;
//   for each window of records, in Start (Answer, then BeginComputing), a record takes the first
//   answer of:
//     1. TakeEarlyDigests: the digest b. read (quick digests only);
//     2. AskListingOrder: the entry that answered at the same place of the last listing for the
//        same path, or a held entry of a.;
//     3. AskHashedEntries: the cache's entry for the path;
//     4. AskStore: the store on disk, unless c. read it for the whole phase;
//     5. BeginComputing: the file itself, read on the digest threads beside the phase's work;
//   a record asked for outside the windows, or skipped by 5. after a stop request, takes 1. to 4.
//   on the spot and is then read on the search worker (AnswerOnTheSpot).
// Used on the search worker only.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/DigestBatch.h"
#include "engine/DigestKind.h"
#include "engine/FileRecord.h"
#include "engine/SameFileDigests.h"

class CDigestCache;
class IScanCompanion;

// What a phase does after a stop request: it asks for no more digests (so digests not yet made
// then need not be made), or it goes on asking (and a digest of more than one step fails).
enum class EAfterStop : int { StopsAsking, GoesOnAsking };

class CPhaseDigests {
public:
    // Digests of `kind` (in CacheOf(kind)) for a phase that does `afterStop` once a stop was
    // requested; `companion`, the run's scan companion if any, may hold early quick digests.
    CPhaseDigests(EDigestKind kind, EAfterStop afterStop, const IScanCompanion* companion = nullptr);

    // c. Whether the store is worth reading in bulk for a phase that asks for about `records`
    // records: the cache holds fewer entries than half of them (the first search of a process) and
    // the store holds any.
    bool StoreWorthReading(size_t records) const;
    // c. Reads the store for the records the phase will ask for, when StoreWorthReading(their
    // number): the entries found join the cache, and the windows ask the store no more.
    void ReadStoreForPhase(const std::vector<const CFileRecord*>& records);

    // A phase prepares its next window while it takes the digests of the current one: Clear, Add
    // for each record, then Start, which answers what it can and begins reading the other files in
    // the background. Advance waits for those digests and makes that window the current one, the
    // one Take answers from. Start the next window right after Advance, so that its files are read
    // while the phase works through the current window.

    // Forgets the window being prepared.
    void Clear();
    // Adds a record of g_fileList whose digest will be asked for (each record once); `bytes` is at
    // most how many bytes its digest reads, for the size of the window. The record itself is not
    // read until Start.
    void Add(const CFileRecord& record, uint64_t bytes);
    // Stages 1 to 5 for the prepared window. From here until the next Advance, the cache may change
    // (Take) but the digest pool runs nothing else.
    void Start();
    // Finishes the started window's digests (taking part in them) and makes it the current window.
    void Advance();

    // Of the window being prepared.
    size_t Records() const { return m_preparing->entries.size(); }
    uint64_t Bytes() const { return m_preparing->bytes; }

    // The digest of a record `listed` (of the current window, or any record), written into `into`
    // (the record itself or a copy of it); true on success. Asked again for a record of the window,
    // it gives the first answer again.
    bool Take(const CFileRecord& listed, CFileRecord& into);

private:
    struct Entry {
        const CFileRecord* record = nullptr;
        Md5Digest digest{};
        StrongDigest strong{};  // of a full digest
        bool cached = false;    // the cache (or the store) held a digest that fits
        bool computed = false;  // the file was read (or tried)
        bool succeeded = false;
        bool taken = false;
        bool multiStep = false;  // the file was read in more than one step, in the background
    };
    struct Window {
        std::vector<Entry> entries;  // in the order the phase added them
        uint64_t bytes = 0;
        std::vector<DigestJob> jobs;                      // the digests begun in the background
        std::vector<size_t> jobEntries;                   // the entry of each job
        std::vector<std::pair<size_t, size_t>> sameFile;  // an entry, and the entry read for its file
        std::unique_ptr<CDigestBatch> batch;
    };
    // Stages 1 to 4, in order: each answers what it can of `open` (places in window.entries) and
    // leaves the rest in it for the next.
    void Answer(Window& window, std::vector<size_t>& open);
    void TakeEarlyDigests(Window& window, std::vector<size_t>& open) const;
    void AskListingOrder(Window& window, std::vector<size_t>& open);
    void AskHashedEntries(Window& window, std::vector<size_t>& open);
    void AskStore(Window& window, std::vector<size_t>& open);
    void BeginComputing(Window& window, std::vector<size_t>& open);
    void ShareSameFiles(Window& window, std::vector<size_t>& open);
    static void CopyOutcome(const Entry& from, Entry& to);
    void AnswerOnTheSpot(Entry& entry);
    // Loads the stored entries of the records into the cache.
    void LoadFromStore(const std::vector<const CFileRecord*>& records);
    Entry* Find(const CFileRecord& record);
    bool TakeComputed(Entry& entry, const CFileRecord& listed, CFileRecord& into);

    const EDigestKind m_kind;
    CDigestCache& m_cache;
    const uint64_t m_limit;
    const bool m_skipAfterStop;
    const IScanCompanion* const m_companion;
    Window m_windows[2];
    Window* m_preparing = &m_windows[0];  // Clear, Add and Start work on it
    Window* m_current = &m_windows[1];    // Take answers from it
    bool m_started = false;               // the preparing window was started
    size_t m_taking = 0;                  // the current window's entry Take found last
    bool m_askStore = true;               // c. did not read the store for the phase
    CSameFileDigests m_sameFile;          // the records of one file in a window
};
