#pragma once
// Digests that the grouping or the pairing phase is about to ask for, computed ahead of time on
// the digest pool while the phase itself still asks for the window before them one by one, in its
// own order. Each answer is the one GetQuickDigest / GetFullDigest would give at the moment it is
// asked: a cache hit as it was, a computed digest cached when it is taken, and a digest of more
// than one step that is taken after a stop request fails, as if it had been computed then. Used
// on the search worker only.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DigestBatch.h"
#include "engine/DigestStore.h"

// What a phase does after a stop request: it asks for no more digests (so digests not yet made
// then need not be made), or it goes on asking (and a digest of more than one step fails).
enum class EAfterStop : int { StopsAsking, GoesOnAsking };

class CDigestAhead {
public:
    // Quick digests (of kQuickDigestBytes, in g_quickDigestCache) or full ones (of whole files, in
    // g_fullDigestCache), for a phase that does `afterStop` once a stop was requested.
    CDigestAhead(EDigestKind kind, EAfterStop afterStop);

    // A phase prepares its next window while it takes the digests of the current one: Clear, Add
    // for each record, then Start, which looks the records up and begins digesting the others in
    // the background. Advance waits for those digests and makes that window the current one, the
    // one Take answers from. Start the next window right after Advance, so that its files are read
    // while the phase works through the current window.

    // Forgets the window being prepared.
    void Clear();
    // The store on disk was read for the whole phase already: Start asks it no more.
    void SkipStore() { m_askStore = false; }
    // Adds a record of g_fileList whose digest will be asked for (each record once); `bytes` is
    // at most how many bytes its digest reads, for the size of the window. The record itself is
    // not read until Start.
    void Add(const CFileRecord& record, uint64_t bytes);
    // Looks the prepared window's records up in the cache (and the store) and begins computing
    // the digests they cannot give, on the digest pool's helpers. From here until the next
    // Advance, the cache may change (Take) but the pool runs nothing else.
    void Start();
    // Finishes the started window's digests (taking part in them) and makes it the current window.
    void Advance();

    // Of the window being prepared.
    size_t Records() const { return m_preparing->entries.size(); }
    uint64_t Bytes() const { return m_preparing->bytes; }

    // The digest of a record `listed` of the current window, written into `into` (the record itself
    // or a copy of it) exactly as GetQuickDigest / GetFullDigest would write it at this moment;
    // true on success. A record that is not in the current window is digested on the spot.
    bool Take(const CFileRecord& listed, CFileRecord& into);

private:
    struct Entry {
        const CFileRecord* record = nullptr;
        Md5Digest digest{};
        bool cached = false;    // the cache held a valid digest when the window was computed
        bool computed = false;  // the window's digests made (or tried) the digest
        bool succeeded = false;
        bool taken = false;
        bool multiStep = false;  // the computed digest took more than one step
    };
    struct Window {
        std::vector<Entry> entries;  // in the order the phase added them
        uint64_t bytes = 0;
        std::vector<DigestJob> jobs;     // the digests begun in the background
        std::vector<size_t> jobEntries;  // the entry of each job
        std::unique_ptr<CDigestBatch> batch;
    };
    void LookUp(Window& window, std::vector<size_t>& missed);
    Entry* Find(const CFileRecord& record);
    bool TakeComputed(Entry& entry, const CFileRecord& listed, CFileRecord& into);

    DigestCache& m_cache;
    const uint64_t m_limit;
    const bool m_skipAfterStop;
    Window m_windows[2];
    Window* m_preparing = &m_windows[0];  // Clear, Add and Start work on it
    Window* m_current = &m_windows[1];    // Take answers from it
    bool m_started = false;               // the preparing window was started
    size_t m_taking = 0;                  // the current window\'s entry Take found last
    bool m_askStore = true;
};
