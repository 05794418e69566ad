#include "engine/Detection.h"

#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/EngineSink.h"
#include "engine/FolderCounts.h"
#include "engine/PhaseDigests.h"
#include "engine/RecordSort.h"
#include "engine/RunDuplicates.h"
#include "engine/RunSets.h"
#include "engine/SameFileDigests.h"
#include "engine/ScanCompanion.h"

namespace {

// How far ahead digests are computed: enough records to keep every digesting thread busy with
// eight files in flight. Whole files are taken in wider windows, so that the large files among
// them begin first and the small ones fill the lanes around them, instead of a large file being
// digested alone at the end of each window: a file is digested in one lane, so each window lasts
// at least as long as its largest file takes (a stop still ends every digest of a window at its
// next step).
constexpr size_t kWindowRecords = 256;
constexpr size_t kFullWindowRecords = 16384;
constexpr uint64_t kWindowBytes = 1ull << 30;

// g_fileList in size order (stable: equal sizes keep their scan order). On the way the records are
// numbered in scan order, and both digest caches match them against the previous listing: one walk
// of the list instead of three. Then what the scan's companion read from the store joins the caches.
KeyedRecords<uint64_t> ListRecordsBySize(IScanCompanion* companion)
{
    KeyedRecords<uint64_t> bySize;
    bySize.reserve(g_fileList.size());
    g_quickDigestCache.BeginListing(g_fileList.size());
    g_fullDigestCache.BeginListing(g_fileList.size());
    uint32_t position = 0;
    for (RecordIterator record = g_fileList.begin(); record != g_fileList.end(); ++record) {
        record->listPosition = position++;
        g_quickDigestCache.MatchNext(*record);
        g_fullDigestCache.MatchNext(*record);
        bySize.emplace_back(record->size, record);
    }
    g_quickDigestCache.EndListing();
    g_fullDigestCache.EndListing();
    if (companion)
        companion->HandOver();
    StableSortByKey(bySize);
    return bySize;
}

const CFileRecord& RecordOf(const std::pair<uint64_t, RecordIterator>& keyed)
{
    return *keyed.second;
}
const CFileRecord& RecordOf(const CFileRecord& record)
{
    return record;
}

// Before a phase: the records the phase will ask for are those of every run of at least two records
// in `records` (a sequence of records in key order, with the key of each); the store is read for
// them in bulk when memory holds too few. Measured against the records asked for, not every
// record: a repeated search whose cache holds them all looks none of them up twice.
template <typename Records, typename KeyOf>
void ReadStoreForPhase(CPhaseDigests& digests, const Records& records, KeyOf keyOf)
{
    if (!digests.StoreWorthReading(records.size()))
        return;
    std::vector<const CFileRecord*> shared;
    for (auto first = records.begin(); first != records.end();) {
        auto next = std::next(first);
        while (next != records.end() && keyOf(*next) == keyOf(*first))
            ++next;
        if (std::next(first) != next)
            for (auto record = first; record != next; ++record)
                shared.push_back(&RecordOf(*record));
        first = next;
    }
    digests.ReadStoreForPhase(shared);
}

// The end of the size run that starts at bySize[first].
size_t SizeRunEnd(const KeyedRecords<uint64_t>& bySize, size_t first)
{
    size_t next = first + 1;
    while (next < bySize.size() && bySize[next].first == bySize[first].first)
        ++next;
    return next;
}

// Whether the size run [first, next) needs its quick digests: it holds two records or more, and not
// only records of one file (which can form no row).
bool NeedsDigests(const KeyedRecords<uint64_t>& bySize, size_t first, size_t next)
{
    const auto begin = bySize.begin();
    return next - first > 1 &&
        !AllOneFile(begin + static_cast<std::ptrdiff_t>(first), begin + static_cast<std::ptrdiff_t>(next),
                    [](const auto& keyed) -> const CFileRecord& { return *keyed.second; });
}

// Prepares the quick digests of the size runs from bySize[first] on: every record of each run of
// at least two records, until the window is full, and starts them. Returns the first run the
// window does not cover.
size_t PrepareSizeRuns(CPhaseDigests& digests, const KeyedRecords<uint64_t>& bySize, size_t first)
{
    digests.Clear();
    while (first < bySize.size() && digests.Records() < kWindowRecords) {
        const size_t next = SizeRunEnd(bySize, first);
        if (NeedsDigests(bySize, first, next)) {
            for (size_t record = first + 1; record < next; ++record)
                digests.Add(*bySize[record].second, kQuickDigestBytes);
            digests.Add(*bySize[first].second, kQuickDigestBytes);
        }
        first = next;
    }
    digests.Start();
    return first;
}

// One size run, starting at bySize[first]: digests the later records of the run, then the first
// one if any later record survived, and makes candidates of those that were digested, keyed by
// their quick digest. Returns the first record of the next run, or bySize.size() after a stop
// (with `stopped` set).
size_t GroupSizeRun(const KeyedRecords<uint64_t>& bySize, size_t first, KeyedRecords<DigestKey>& candidates, IEngineSink* sink,
                    CPhaseDigests& digests, bool& stopped)
{
    if (const size_t end = SizeRunEnd(bySize, first); !NeedsDigests(bySize, first, end)) {
        // One file listed under several paths: examined without reading it.
        g_progressCount += static_cast<uint32_t>(end - first);
        return end;
    }
    ++g_progressCount;
    bool anyAppended = false;
    size_t next = first + 1;
    for (; next < bySize.size() && bySize[next].first == bySize[first].first; ++next) {
        if (StopRequested()) {
            stopped = true;
            return bySize.size();
        }
        CFileRecord& record = *bySize[next].second;
        if (digests.Take(record, record)) {
            if (g_progressCount % 100 == 0) {
                g_currentPath = record.path.str();
                if (sink)
                    sink->SendMessage(WMU_COMPAREPROGRESS);
            }
            candidates.emplace_back(DigestKeyOf(record), bySize[next].second);
            anyAppended = true;
        }
        ++g_progressCount;
    }
    CFileRecord& firstRecord = *bySize[first].second;
    if (anyAppended && digests.Take(firstRecord, firstRecord))
        candidates.emplace_back(DigestKeyOf(firstRecord), bySize[first].second);
    return next;
}

// The candidates in digest order (stable: equal digests keep their order) become g_fileList; the
// records move within it, those that are not candidates are dropped.
void KeepCandidates(KeyedRecords<DigestKey>& candidates)
{
    StableSortByKey(candidates);
    std::vector<size_t> order;
    order.reserve(g_fileList.size());
    std::vector<bool> candidate(g_fileList.size());
    for (const auto& keyed : candidates) {
        order.push_back(static_cast<size_t>(keyed.second - g_fileList.begin()));
        candidate[order.back()] = true;
    }
    for (size_t i = 0; i < g_fileList.size(); ++i)
        if (!candidate[i])
            order.push_back(i);
    GatherInPlace(g_fileList, order);
    g_fileList.erase(g_fileList.begin() + static_cast<std::ptrdiff_t>(candidates.size()), g_fileList.end());
}

// Prepares the full digests of the runs of equal quick digest from `first` on: every record of
// each run of at least two records but those that name the run's first file again (they are never
// digested while that file can be read), until the window is full, and starts them. Returns the
// first run the window does not cover.
RecordIterator PrepareDigestRuns(CPhaseDigests& digests, RecordIterator first)
{
    digests.Clear();
    while (first != g_fileList.end() && digests.Records() < kFullWindowRecords && digests.Bytes() < kWindowBytes) {
        bool firstAdded = false;
        RecordIterator record = std::next(first);
        for (; record != g_fileList.end() && record->digest == first->digest; ++record) {
            if (SameFile(*first, *record))
                continue;
            if (!firstAdded)
                digests.Add(*first, first->size);
            firstAdded = true;
            digests.Add(*record, record->size);
        }
        first = record;
    }
    digests.Start();
    return first;
}

// Makes the row of a duplicate beside its set's original.
void MakeRow(const CFileRecord& original, const CFileRecord& duplicate, CFolderCounts& tally)
{
    g_duplicates.push_back(CDuplicatePair{original.path, duplicate.path, original.size, original.lastWrite, duplicate.lastWrite});
    g_duplicateBytes += original.size;
    tally.Add(original);
    tally.Add(duplicate);
}

// The rows of one run of equal quick digests, [first, end).
void PairRun(RecordIterator first, RecordIterator end, CPhaseDigests& digests, CFolderCounts& tally, CRunSets& sets,
             CRunDuplicates& madeInRun)
{
    madeInRun.Clear();
    sets.Clear();
    for (RecordIterator record = first; record != end; ++record) {
        // A record that names a set's original again belongs to that set and may not pair with it;
        // a path already made a duplicate in this run (a folder walked twice) pairs no second time.
        // Neither is read.
        if (sets.NamesAnOriginal(*record) || madeInRun.Contains(record->path))
            continue;
        CFileRecord full = *record;
        if (!digests.Take(*record, full))
            continue;
        if (const CFileRecord* original = sets.OriginalFor(full, *record)) {
            MakeRow(*original, *record, tally);
            madeInRun.Add(record->path);
        }
    }
}

// Pairs the runs of equal quick digest of g_fileList, making the rows.
void PairRuns(CPhaseDigests& digests, CFolderCounts& tally)
{
    CRunDuplicates madeInRun;
    CRunSets sets;
    // Each window's files are read while the window before it is taken.
    RecordIterator first = g_fileList.begin();
    RecordIterator windowEnd = first;
    RecordIterator startedEnd = PrepareDigestRuns(digests, first);
    while (first != g_fileList.end()) {
        if (first == windowEnd) {
            digests.Advance();
            windowEnd = startedEnd;
            if (windowEnd != g_fileList.end())
                startedEnd = PrepareDigestRuns(digests, windowEnd);
        }
        RecordIterator end = std::next(first);
        while (end != g_fileList.end() && end->digest == first->digest)
            ++end;
        if (std::next(first) != end &&
            !AllOneFile(first, end, [](const CFileRecord& record) -> const CFileRecord& { return record; }))
            PairRun(first, end, digests, tally, sets, madeInRun);
        first = end;
    }
}

}  // namespace

void GroupCandidates(IEngineSink* sink, IScanCompanion* companion)
{
    const KeyedRecords<uint64_t> bySize = ListRecordsBySize(companion);
    KeyedRecords<DigestKey> candidates;
    g_progressCount = 0;
    bool stopped = false;
    CPhaseDigests digests(EDigestKind::Quick, EAfterStop::StopsAsking, companion);
    ReadStoreForPhase(digests, bySize, [](const auto& keyed) { return keyed.first; });
    // Each window's files are read while the window before it is taken.
    size_t first = 0;
    size_t windowEnd = 0;
    size_t startedEnd = PrepareSizeRuns(digests, bySize, 0);
    while (first + 1 < bySize.size()) {
        if (first == windowEnd) {
            digests.Advance();
            windowEnd = startedEnd;
            if (windowEnd < bySize.size())
                startedEnd = PrepareSizeRuns(digests, bySize, windowEnd);
        }
        first = GroupSizeRun(bySize, first, candidates, sink, digests, stopped);
        if (stopped)
            return;
    }
    KeepCandidates(candidates);
}

void PairDuplicates()
{
    g_duplicates.clear();
    g_folderTally.clear();
    CFolderCounts tally(g_fileList);
    {
        CPhaseDigests digests(EDigestKind::Full, EAfterStop::GoesOnAsking);
        ReadStoreForPhase(digests, g_fileList, [](const CFileRecord& record) { return record.digest; });
        PairRuns(digests, tally);
    }  // the windows go before the tally grows
    tally.AddToTally();
}
