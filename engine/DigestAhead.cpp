#include "engine/DigestAhead.h"

#include "engine/Digest.h"
#include "engine/DigestPool.h"

CDigestAhead::CDigestAhead(DigestCache& cache, uint64_t limit, bool skipAfterStop)
    : m_cache(cache), m_limit(limit), m_skipAfterStop(skipAfterStop)
{
}

void CDigestAhead::Clear()
{
    m_entries.clear();
    m_index.clear();
    m_bytesToRead = 0;
}

void CDigestAhead::Add(const CFileRecord& record)
{
    if (!m_index.emplace(&record, m_entries.size()).second)
        return;
    Entry& entry = m_entries.emplace_back();
    entry.record = &record;
    const auto found = m_cache.find(record.path);
    if (found != m_cache.end() && found->second.lastWrite == record.lastWrite) {
        entry.cached = true;
        entry.digest = found->second.digest;
        entry.size = found->second.size;
    } else {
        m_bytesToRead += m_limit != 0 && m_limit < record.size ? m_limit : record.size;
    }
}

void CDigestAhead::Compute()
{
    std::vector<Entry*> work;
    for (Entry& entry : m_entries)
        if (!entry.cached && !entry.computed)
            work.push_back(&entry);
    CDigestPool::Instance().Run(work.size(), [&](size_t i) {
        Entry& entry = *work[i];
        if (m_skipAfterStop && StopRequested())
            return;  // never asked for: the phase stops at its next look at the flag
        entry.succeeded = ComputeDigest(entry.record->path, m_limit, entry.digest, entry.bytes);
        entry.computed = true;
    });
}

bool CDigestAhead::Take(const CFileRecord& listed, CFileRecord& into)
{
    const auto indexed = m_index.find(&listed);
    if (indexed == m_index.end())
        return GetCachedDigest(m_cache, into, m_limit);
    Entry& entry = m_entries[indexed->second];
    if (entry.cached) {
        into.digest = entry.digest;
        into.size = entry.size;
        return true;
    }
    if (entry.taken) {
        // Asked again (a run's original): the first answer stands, from the cache or failed.
        if (entry.succeeded)
            into.digest = entry.digest;
        return entry.succeeded;
    }
    entry.taken = true;
    if (!entry.computed) {
        // Skipped after a stop request, yet asked for (a run's first record comes last).
        entry.succeeded = GetCachedDigest(m_cache, into, m_limit);
        entry.digest = into.digest;
        return entry.succeeded;
    }
    return TakeComputed(entry, listed, into);
}

// Caches a digest computed ahead the way GetCachedDigest caches one it computes itself.
bool CDigestAhead::TakeComputed(Entry& entry, const CFileRecord& listed, CFileRecord& into)
{
    const auto found = m_cache.find(listed.path);
    if (found != m_cache.end()) {
        if (found->second.lastWrite == listed.lastWrite) {
            // Cached meanwhile under the same path (a folder walked twice): the cache answers.
            into.digest = found->second.digest;
            into.size = found->second.size;
            entry.digest = into.digest;
            entry.succeeded = true;
            return true;
        }
        m_cache.erase(found);
    }
    if (entry.succeeded && entry.bytes > kDigestStep && StopRequested())
        entry.succeeded = false;  // it would have been computed after the stop request
    if (!entry.succeeded)
        return false;
    into.digest = entry.digest;
    m_cache.emplace(listed.path, into);
    return true;
}
