#include "engine/PhaseDigests.h"

#include <algorithm>
#include <utility>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/DigestCache.h"
#include "engine/DigestPool.h"
#include "engine/DigestStore.h"
#include "engine/RacyEntries.h"
#include "engine/ScanCompanion.h"

namespace {

// Fewer hashed lookups than this are done on the search worker alone: waking the digest threads
// would cost more than the lookups.
constexpr size_t kSharedLookups = 64;

}  // namespace

CPhaseDigests::CPhaseDigests(EDigestKind kind, EAfterStop afterStop, const IScanCompanion* companion)
    : m_kind(kind), m_cache(CacheOf(kind)), m_limit(LimitOf(kind)), m_skipAfterStop(afterStop == EAfterStop::StopsAsking),
      m_companion(kind == EDigestKind::Quick ? companion : nullptr)
{
}

bool CPhaseDigests::StoreWorthReading(size_t records) const
{
    return g_digestStore && m_cache.size() < records / 2 && !g_digestStore->HoldsNothing();
}

void CPhaseDigests::ReadStoreForPhase(const std::vector<const CFileRecord*>& records)
{
    if (!StoreWorthReading(records.size()))
        return;
    if (m_cache.empty()) {
        LoadFromStore(records);
    } else {
        std::vector<const CFileRecord*> unanswered;
        for (const CFileRecord* record : records)
            if (!m_cache.Fitting(*record))
                unanswered.push_back(record);
        LoadFromStore(unanswered);
    }
    m_askStore = false;
}

void CPhaseDigests::LoadFromStore(const std::vector<const CFileRecord*>& records)
{
    if (!g_digestStore || records.empty() || g_digestStore->HoldsNothing())
        return;
    std::vector<IDigestStore::Wanted> files(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        files[i] = IDigestStore::Wanted{records[i]->path.view(), records[i]->folder};
    std::vector<IDigestStore::Found> stored;
    stored.reserve(records.size());
    g_digestStore->Load(KindsOf(m_kind), files, stored);
    for (IDigestStore::Found& found : stored) {
        const CFileRecord& record = *records[found.wanted];
        found.entry.path = record.path;
        // The listing order answers for the record from now on, without a hashed lookup.
        m_cache.NoteListed(record, m_cache.Keep(found.entry));
    }
}

void CPhaseDigests::Clear()
{
    Window& window = *m_preparing;
    window.batch.reset();
    window.entries.clear();
    window.jobs.clear();
    window.jobEntries.clear();
    window.sameFile.clear();
    window.bytes = 0;
    m_started = false;
}

void CPhaseDigests::Add(const CFileRecord& record, uint64_t bytes)
{
    m_preparing->entries.emplace_back().record = &record;
    m_cache.Prefetch(record);
    m_preparing->bytes += bytes;
}

void CPhaseDigests::Start()
{
    Window& window = *m_preparing;
    std::vector<size_t> open;
    Answer(window, open);
    BeginComputing(window, open);
    m_started = true;
}

void CPhaseDigests::Answer(Window& window, std::vector<size_t>& open)
{
    TakeEarlyDigests(window, open);
    AskListingOrder(window, open);
    AskHashedEntries(window, open);
    AskStore(window, open);
}

// 1. Quick digests the scan's companion read are computed ones: nothing in memory or on disk could
// have answered for them.
void CPhaseDigests::TakeEarlyDigests(Window& window, std::vector<size_t>& open) const
{
    open.clear();
    for (size_t i = 0; i < window.entries.size(); ++i) {
        Entry& entry = window.entries[i];
        const EEarlyDigest early = m_companion ? m_companion->EarlyDigest(*entry.record) : EEarlyDigest::None;
        if (early == EEarlyDigest::None) {
            open.push_back(i);
            continue;
        }
        entry.computed = true;
        entry.succeeded = early == EEarlyDigest::Digested;
        entry.digest = entry.record->digest;
    }
}

// 2. A repeated search lists an unchanged tree in the same order: most records find their entry
// at once, on this thread.
void CPhaseDigests::AskListingOrder(Window& window, std::vector<size_t>& open)
{
    for (const size_t i : open)
        m_cache.PrefetchEntry(*window.entries[i].record);
    size_t kept = 0;
    for (const size_t i : open) {
        Entry& entry = window.entries[i];
        if (const CFileRecord* hit = m_cache.Listed(*entry.record)) {
            entry.cached = true;
            entry.digest = hit->digest;
            entry.strong = hit->strong;
        } else {
            open[kept++] = i;
        }
    }
    open.resize(kept);
}

// 3. The hashed entries, on the digest threads when there are enough lookups to share (nothing
// else runs on the pool now, and the cache is only read meanwhile); the listing order learns
// each entry found.
void CPhaseDigests::AskHashedEntries(Window& window, std::vector<size_t>& open)
{
    if (open.empty() || m_cache.empty())
        return;
    std::vector<const CFileRecord*> hits(open.size());
    const CDigestCache& cache = m_cache;
    const auto find = [&](size_t k) { hits[k] = cache.Fitting(*window.entries[open[k]].record); };
    if (open.size() >= kSharedLookups) {
        CDigestPool::Instance().Run(open.size(), find);
    } else {
        for (size_t k = 0; k < open.size(); ++k)
            find(k);
    }
    size_t kept = 0;
    for (size_t k = 0; k < open.size(); ++k) {
        Entry& entry = window.entries[open[k]];
        if (hits[k]) {
            entry.cached = true;
            entry.digest = hits[k]->digest;
            entry.strong = hits[k]->strong;
            m_cache.NoteListed(*entry.record, *hits[k]);
        } else {
            open[kept++] = open[k];
        }
    }
    open.resize(kept);
}

// 4. The store on disk, on this thread, for what memory could not answer; the entries it finds
// join the cache and answer through the listing order (or by path, for a record outside it).
void CPhaseDigests::AskStore(Window& window, std::vector<size_t>& open)
{
    if (open.empty() || !m_askStore || !g_digestStore || g_digestStore->HoldsNothing())
        return;
    std::vector<const CFileRecord*> wanted;
    wanted.reserve(open.size());
    for (const size_t i : open)
        wanted.push_back(window.entries[i].record);
    LoadFromStore(wanted);
    AskListingOrder(window, open);
    AskHashedEntries(window, open);
}

// 5. The files themselves, up to eight at once on each digest thread, while the phase takes the
// window before this one; each file once, whatever number of records name it.
void CPhaseDigests::BeginComputing(Window& window, std::vector<size_t>& open)
{
    ShareSameFiles(window, open);
    window.jobs.resize(open.size());
    for (size_t k = 0; k < open.size(); ++k) {
        const CFileRecord& record = *window.entries[open[k]].record;
        window.jobs[k].path = record.path;
        window.jobs[k].expected = m_limit != 0 && m_limit < record.size ? m_limit : record.size;
    }
    window.jobEntries = std::move(open);
    window.batch = std::make_unique<CDigestBatch>(window.jobs, m_limit, m_skipAfterStop);
}

// Of the records of one file in the window, only one is read, or none when the digest of one of them
// is known already: the others take its outcome, at once or when the window ends.
void CPhaseDigests::ShareSameFiles(Window& window, std::vector<size_t>& open)
{
    window.sameFile.clear();
    if (open.empty())
        return;
    m_sameFile.BeginWindow();
    for (size_t i = 0; i < window.entries.size(); ++i) {
        const Entry& entry = window.entries[i];
        m_sameFile.Add(*entry.record, i, entry.computed || entry.cached);
    }
    std::vector<std::pair<size_t, size_t>> followers;
    m_sameFile.Followers(followers);
    if (followers.empty())
        return;
    std::vector<bool> follows(window.entries.size());
    for (const auto& [place, lead] : followers) {
        follows[place] = true;
        const Entry& known = window.entries[lead];
        if (known.cached || known.computed)
            CopyOutcome(known, window.entries[place]);
        else
            window.sameFile.emplace_back(place, lead);
    }
    open.erase(std::remove_if(open.begin(), open.end(), [&](size_t i) { return follows[i]; }), open.end());
}

void CPhaseDigests::CopyOutcome(const Entry& from, Entry& to)
{
    to.cached = from.cached;
    to.computed = from.computed;
    to.succeeded = from.succeeded;
    to.multiStep = from.multiStep;
    to.digest = from.digest;
    to.strong = from.strong;
}

// Stages 1 to 4 for one record, then the file read on this thread, whatever was requested.
void CPhaseDigests::AnswerOnTheSpot(Entry& entry)
{
    Window alone;
    alone.entries.push_back(entry);
    std::vector<size_t> open;
    Answer(alone, open);
    entry = alone.entries.front();
    if (entry.cached || entry.computed)
        return;
    entry.computed = true;
    if (const CSameFileDigests::Outcome* known = m_sameFile.Find(*entry.record)) {
        entry.succeeded = known->succeeded;
        entry.digest = known->digest;
        entry.strong = known->strong;
        return;
    }
    uint64_t bytes = 0;
    entry.succeeded =
        ComputeDigest(entry.record->path, m_limit, entry.digest, bytes, m_kind == EDigestKind::Full ? &entry.strong : nullptr);
    m_sameFile.Learn(*entry.record, {entry.digest, entry.strong, entry.succeeded, false});
}

void CPhaseDigests::Advance()
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
        entry.strong = job.strong;
    }
    for (const auto& [place, lead] : window.sameFile) {
        const Entry& read = window.entries[lead];
        CopyOutcome(read, window.entries[place]);
        if (read.computed)  // for a record of the file asked for outside the window
            m_sameFile.Learn(*read.record, {read.digest, read.strong, read.succeeded, read.multiStep});
    }
    std::swap(m_preparing, m_current);
    m_taking = 0;
    Clear();
}

CPhaseDigests::Entry* CPhaseDigests::Find(const CFileRecord& record)
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

bool CPhaseDigests::Take(const CFileRecord& listed, CFileRecord& into)
{
    Entry alone;
    Entry* found = Find(listed);
    if (!found) {
        alone.record = &listed;
        found = &alone;
    }
    Entry& entry = *found;
    if (!entry.cached && !entry.taken && !entry.computed)
        AnswerOnTheSpot(entry);  // outside the windows, or skipped after a stop request yet asked for
    if (entry.cached || (entry.taken && entry.succeeded)) {
        // Asked again (a run's original): the first answer stands.
        into.digest = entry.digest;
        into.strong = entry.strong;
        return true;
    }
    if (entry.taken)
        return false;
    entry.taken = true;
    return TakeComputed(entry, listed, into);
}

// Keeps a digest read from the file in the cache, and marks it learned for the store.
bool CPhaseDigests::TakeComputed(Entry& entry, const CFileRecord& listed, CFileRecord& into)
{
    if (entry.succeeded && entry.multiStep && StopRequested())
        entry.succeeded = false;  // it would have been read after the stop request
    if (entry.succeeded && !SafelyOlder(listed.State(), g_digestMoment)) {
        // Changed too recently for its state to tell a later change: this search's answer alone.
        into.digest = entry.digest;
        into.strong = entry.strong;
        return true;
    }
    const CDigestCache::Kept kept = m_cache.KeepComputed(listed, entry.succeeded ? &entry.digest : nullptr, entry.strong);
    if (!kept.entry)
        return entry.succeeded = false;
    entry.succeeded = true;
    entry.digest = kept.entry->digest;
    entry.strong = kept.entry->strong;
    into.digest = kept.entry->digest;
    into.strong = kept.entry->strong;
    m_cache.NoteListed(listed, *kept.entry);
    if (kept.computed && g_digestStore)
        m_cache.NoteLearned(listed, *kept.entry);
    return true;
}
