#include "engine/DigestAhead.h"

#include <algorithm>
#include <tuple>

#include "engine/Digest.h"
#include "engine/DigestLanes.h"
#include "engine/DigestPool.h"
#include "engine/DigestStore.h"
#include "engine/EarlyDigests.h"

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
    Window& window = *m_preparing;
    window.batch.reset();
    window.entries.clear();
    window.jobs.clear();
    window.jobEntries.clear();
    window.bytes = 0;
    m_started = false;
}

void CDigestAhead::Add(const CFileRecord& record, uint64_t bytes)
{
    m_preparing->entries.emplace_back().record = &record;
    m_cache.Prefetch(record);
    m_preparing->bytes += bytes;
}

void CDigestAhead::Start()
{
    Window& window = *m_preparing;
    // Quick digests the scan's spare threads took already are computed ones; nothing in memory or
    // on disk could have answered for them.
    if (m_limit != 0) {
        const CEarlyDigests& early = CEarlyDigests::Instance();
        for (Entry& entry : window.entries) {
            const CEarlyDigests::EOutcome outcome = early.Outcome(*entry.record);
            if (outcome == CEarlyDigests::EOutcome::None)
                continue;
            entry.computed = true;
            entry.succeeded = outcome == CEarlyDigests::EOutcome::Digested;
            entry.digest = entry.record->digest;
        }
    }
    std::vector<size_t> missed;
    LookUp(window, missed);
    // The digests themselves, up to eight files at once on each thread, while the phase takes the
    // window before this one.
    window.jobs.resize(missed.size());
    for (size_t k = 0; k < missed.size(); ++k) {
        const CFileRecord& record = *window.entries[missed[k]].record;
        window.jobs[k].path = record.path;
        window.jobs[k].expected = m_limit != 0 && m_limit < record.size ? m_limit : record.size;
    }
    window.jobEntries = std::move(missed);
    window.batch = std::make_unique<CDigestBatch>(window.jobs, m_limit, m_skipAfterStop);
    m_started = true;
}

// The records the cache answers take their digest from it; `missed` receives the others.
void CDigestAhead::LookUp(Window& window, std::vector<size_t>& missed)
{
    // Nothing else runs on the pool now, and the cache is only read while the pool looks it up.
    // The listing order answers most records of a repeated search at once, on this thread; the
    // hashed entries are looked up for the others, on the digest threads when there are enough of
    // them to share. The records the cache cannot answer are looked up in the store on disk (on
    // this thread), and only those it cannot answer either are digested.
    std::vector<Entry>& entries = window.entries;
    const DigestCache& cache = m_cache;
    const auto answer = [](Entry& entry, const CFileRecord& hit) {
        entry.cached = true;
        entry.digest = hit.digest;
    };
    // The hashed entry that answers for a record, or nullptr; the listing order learns it after.
    const auto lookUpHashed = [&](const Entry& entry) -> const CFileRecord* {
        const auto found = cache.find(entry.record->path);
        return found != cache.end() && CachedDigestFits(found->second, *entry.record) ? &found->second : nullptr;
    };
    const auto answerHashed = [&](Entry& entry, const CFileRecord* hit) {
        if (hit) {
            answer(entry, *hit);
            m_cache.NoteListed(*entry.record, *hit);
        }
    };
    const auto lookUp = [&](Entry& entry) {
        if (const CFileRecord* hit = cache.Listed(*entry.record))
            answer(entry, *hit);
        else
            answerHashed(entry, lookUpHashed(entry));
    };
    for (const Entry& entry : entries)
        m_cache.PrefetchEntry(*entry.record);
    std::vector<size_t> unanswered;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].computed)
            continue;  // taken early
        if (const CFileRecord* hit = cache.Listed(*entries[i].record))
            answer(entries[i], *hit);
        else
            unanswered.push_back(i);
    }
    if (unanswered.empty())
        return;
    if (!cache.empty()) {
        std::vector<const CFileRecord*> hits(unanswered.size());
        const auto find = [&](size_t k) { hits[k] = lookUpHashed(entries[unanswered[k]]); };
        if (unanswered.size() >= kSharedLookups) {
            CDigestPool::Instance().Run(unanswered.size(), find);
        } else {
            for (size_t k = 0; k < unanswered.size(); ++k)
                find(k);
        }
        for (size_t k = 0; k < unanswered.size(); ++k)
            answerHashed(entries[unanswered[k]], hits[k]);
    }
    for (const size_t i : unanswered)
        if (!entries[i].cached)
            missed.push_back(i);
    if (missed.empty() || !g_digestStore || !m_askStore || g_digestStore->HoldsNothing())
        return;
    std::vector<const CFileRecord*> wanted;
    for (const size_t i : missed)
        wanted.push_back(entries[i].record);
    LoadStoredDigests(m_limit == 0 ? EDigestKind::Full : EDigestKind::Quick, wanted);
    size_t kept = 0;
    for (const size_t i : missed) {
        lookUp(entries[i]);
        if (!entries[i].cached)
            missed[kept++] = i;
    }
    missed.resize(kept);
}

void CDigestAhead::Advance()
{
    if (!m_started)
        Start();
    Window& window = *m_preparing;
    window.batch->Finish();
    for (size_t k = 0; k < window.jobs.size(); ++k) {
        const DigestJob& job = window.jobs[k];
        Entry& entry = window.entries[window.jobEntries[k]];
        entry.computed = job.computed;
        entry.succeeded = job.succeeded;
        entry.multiStep = job.bytes > kDigestStep;
        entry.digest = job.digest;
    }
    std::swap(m_preparing, m_current);
    m_taking = 0;
    Clear();
}

CDigestAhead::Entry* CDigestAhead::Find(const CFileRecord& record)
{
    // A phase takes the records of a window in the order it added them, passing over some: the
    // search goes on from the last record found (which may be asked for again).
    std::vector<Entry>& entries = m_current->entries;
    for (size_t i = m_taking; i < entries.size(); ++i) {
        if (entries[i].record == &record) {
            m_taking = i;
            return &entries[i];
        }
    }
    return nullptr;
}

bool CDigestAhead::Take(const CFileRecord& listed, CFileRecord& into)
{
    Entry* const found = Find(listed);
    if (!found)
        return GetCachedDigest(m_cache, into, m_limit);
    Entry& entry = *found;
    if (entry.cached) {
        into.digest = entry.digest;  // the size is the record's: a cached digest fits only then
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
    if (entry.succeeded && entry.multiStep && StopRequested())
        entry.succeeded = false;  // it would have been computed after the stop request
    // One hashed probe finds the path's entry or makes it: a failed digest makes none.
    auto slot = m_cache.end();
    bool made = false;
    if (entry.succeeded)
        std::tie(slot, made) = m_cache.try_emplace(listed.path);
    else
        slot = m_cache.find(listed.path);
    if (slot != m_cache.end() && !made && CachedDigestFits(slot->second, listed)) {
        // Cached meanwhile under the same path (a folder walked twice): the cache answers.
        into.digest = slot->second.digest;
        into.size = slot->second.size;
        entry.digest = into.digest;
        entry.succeeded = true;
        m_cache.NoteListed(listed, slot->second);
        return true;
    }
    if (!entry.succeeded) {
        if (slot != m_cache.end())
            m_cache.erase(slot);  // an entry that no longer fits
        return false;
    }
    into.digest = entry.digest;
    slot->second = into;
    m_cache.NoteListed(listed, slot->second);
    NoteDigestLearned(m_limit == 0 ? EDigestKind::Full : EDigestKind::Quick, listed, slot->second);
    return true;
}
