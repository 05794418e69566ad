#include "engine/DigestAhead.h"

#include <algorithm>

#include "engine/Digest.h"
#include "engine/DigestLanes.h"
#include "engine/DigestPool.h"
#include "engine/DigestStore.h"

namespace {

// Fewer hashed lookups than this are done on the search worker alone: waking the digest threads
// would cost more than the lookups.
constexpr size_t kSharedLookups = 64;

}  // namespace

CDigestAhead::CDigestAhead(EDigestKind kind, EAfterStop afterStop)
    : m_cache(kind == EDigestKind::Quick ? g_quickDigestCache : g_fullDigestCache),
      m_limit(kind == EDigestKind::Quick ? kQuickDigestBytes : 0), m_skipAfterStop(afterStop == EAfterStop::StopsAsking)
{
}

void CDigestAhead::Clear()
{
    m_entries.clear();
    m_index.clear();
    m_bytes = 0;
}

void CDigestAhead::Add(const CFileRecord& record, uint64_t bytes)
{
    m_entries.emplace_back().record = &record;
    m_cache.Prefetch(record);
    m_bytes += bytes;
}

void CDigestAhead::Compute()
{
    m_index.clear();
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_index.emplace_back(m_entries[i].record, i);
    std::sort(m_index.begin(), m_index.end());

    // The cache is only read while the threads work. The listing order answers most records of a
    // repeated search at once, on this thread; the hashed entries are looked up for the others, on
    // the digest threads when there are enough of them to share. The records the cache cannot
    // answer are looked up in the store on disk (on this thread), and only those it cannot answer
    // either are digested.
    const DigestCache& cache = m_cache;
    const auto answer = [](Entry& entry, const CFileRecord& hit) {
        entry.cached = true;
        entry.digest = hit.digest;
        entry.size = hit.size;
    };
    const auto lookUpHashed = [&](Entry& entry) {
        const auto found = cache.find(entry.record->path);
        if (found != cache.end() && CachedDigestFits(found->second, *entry.record)) {
            entry.hashed = &found->second;
            answer(entry, found->second);
        }
    };
    const auto lookUp = [&](Entry& entry) {
        if (const CFileRecord* hit = cache.Listed(*entry.record))
            answer(entry, *hit);
        else
            lookUpHashed(entry);
    };
    const auto noteHashed = [&](Entry& entry) {
        if (entry.hashed)
            m_cache.NoteListed(*entry.record, *entry.hashed);
    };
    std::vector<size_t> unanswered;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (const CFileRecord* hit = cache.Listed(*m_entries[i].record))
            answer(m_entries[i], *hit);
        else
            unanswered.push_back(i);
    }
    if (unanswered.size() >= kSharedLookups) {
        CDigestPool::Instance().Run(unanswered.size(), [&](size_t k) { lookUpHashed(m_entries[unanswered[k]]); });
    } else {
        for (const size_t i : unanswered)
            lookUpHashed(m_entries[i]);
    }
    for (const size_t i : unanswered)
        noteHashed(m_entries[i]);
    std::vector<size_t> missed;
    for (const size_t i : unanswered)
        if (!m_entries[i].cached)
            missed.push_back(i);
    if (missed.empty())
        return;
    if (g_digestStore && m_askStore) {
        std::vector<const CFileRecord*> wanted;
        for (const size_t i : missed)
            wanted.push_back(m_entries[i].record);
        LoadStoredDigests(m_limit == 0 ? EDigestKind::Full : EDigestKind::Quick, wanted);
        size_t kept = 0;
        for (const size_t i : missed) {
            lookUp(m_entries[i]);
            noteHashed(m_entries[i]);
            if (!m_entries[i].cached)
                missed[kept++] = i;
        }
        missed.resize(kept);
    }
    // The digests themselves, up to eight files at once on each thread.
    std::vector<DigestJob> jobs(missed.size());
    for (size_t k = 0; k < missed.size(); ++k) {
        const CFileRecord& record = *m_entries[missed[k]].record;
        jobs[k].path = record.path;
        jobs[k].expected = m_limit != 0 && m_limit < record.size ? m_limit : record.size;
    }
    CDigestLanes::ComputeAll(jobs, m_limit, m_skipAfterStop);
    for (size_t k = 0; k < missed.size(); ++k) {
        Entry& entry = m_entries[missed[k]];
        entry.computed = jobs[k].computed;
        entry.succeeded = jobs[k].succeeded;
        entry.bytes = jobs[k].bytes;
        entry.digest = jobs[k].digest;
    }
}

CDigestAhead::Entry* CDigestAhead::Find(const CFileRecord& record)
{
    const auto found = std::lower_bound(m_index.begin(), m_index.end(), std::make_pair(&record, size_t{0}));
    return found != m_index.end() && found->first == &record ? &m_entries[found->second] : nullptr;
}

bool CDigestAhead::Take(const CFileRecord& listed, CFileRecord& into)
{
    Entry* const found = Find(listed);
    if (!found)
        return GetCachedDigest(m_cache, into, m_limit);
    Entry& entry = *found;
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
    auto slot = m_cache.find(listed.path);
    if (slot != m_cache.end() && CachedDigestFits(slot->second, listed)) {
        // Cached meanwhile under the same path (a folder walked twice): the cache answers.
        into.digest = slot->second.digest;
        into.size = slot->second.size;
        entry.digest = into.digest;
        entry.succeeded = true;
        m_cache.NoteListed(listed, slot->second);
        return true;
    }
    if (entry.succeeded && entry.bytes > kDigestStep && StopRequested())
        entry.succeeded = false;  // it would have been computed after the stop request
    if (!entry.succeeded) {
        if (slot != m_cache.end())
            m_cache.erase(slot);  // an entry that no longer fits
        return false;
    }
    into.digest = entry.digest;
    if (slot == m_cache.end())
        slot = m_cache.try_emplace(listed.path).first;
    slot->second = into;
    m_cache.NoteListed(listed, slot->second);
    NoteDigestLearned(m_limit == 0 ? EDigestKind::Full : EDigestKind::Quick, slot->first);
    return true;
}
