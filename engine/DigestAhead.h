#pragma once
// Digests that the grouping or the pairing phase is about to ask for, computed ahead of time on
// the digest pool while the phase itself still asks for them one by one, in its own order. Each
// answer is the one GetQuickDigest / GetFullDigest would give at the moment it is asked: a cache
// hit as it was, a computed digest cached when it is taken, and a digest of more than one step
// that is taken after a stop request fails, as if it had been computed then. Used on the search
// worker only.
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DigestStore.h"

// What a phase does after a stop request: it asks for no more digests (so digests not yet made
// then need not be made), or it goes on asking (and a digest of more than one step fails).
enum class EAfterStop : int { StopsAsking, GoesOnAsking };

class CDigestAhead {
public:
    // Quick digests (of kQuickDigestBytes, in g_quickDigestCache) or full ones (of whole files, in
    // g_fullDigestCache), for a phase that does `afterStop` once a stop was requested.
    CDigestAhead(EDigestKind kind, EAfterStop afterStop);

    // Forgets the current window.
    void Clear();
    // The store on disk was read for the whole phase already: Compute asks it no more.
    void SkipStore() { m_askStore = false; }
    // Adds a record of g_fileList whose digest will be asked for (each record once); `bytes` is
    // at most how many bytes its digest reads, for the size of the window. The record itself is
    // not read until Compute.
    void Add(const CFileRecord& record, uint64_t bytes);
    // Looks the window's records up in the cache and computes the digests it cannot give, in
    // parallel. The cache is only read meanwhile.
    void Compute();

    size_t Records() const { return m_entries.size(); }
    uint64_t Bytes() const { return m_bytes; }

    // The digest of an added record `listed`, written into `into` (the record itself or a copy of
    // it) exactly as GetQuickDigest / GetFullDigest would write it; true on success. A record that
    // was not added is digested on the spot.
    bool Take(const CFileRecord& listed, CFileRecord& into);

private:
    struct Entry {
        const CFileRecord* record = nullptr;
        bool cached = false;    // the cache held a valid digest when the window was computed
        bool computed = false;  // Compute made (or tried) the digest
        bool succeeded = false;
        bool taken = false;
        uint64_t bytes = 0;  // bytes the computed digest covers
        uint64_t size = 0;   // the cached size, for a cache hit
        Md5Digest digest{};
        const CFileRecord* hashed = nullptr;  // the hashed cache entry that answered
    };
    Entry* Find(const CFileRecord& record);
    bool TakeComputed(Entry& entry, const CFileRecord& listed, CFileRecord& into);

    DigestCache& m_cache;
    const uint64_t m_limit;
    const bool m_skipAfterStop;
    std::vector<Entry> m_entries;
    std::vector<std::pair<const CFileRecord*, size_t>> m_index;  // by record address, for Take
    uint64_t m_bytes = 0;
    bool m_askStore = true;
};
