#include "engine/Detection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/DigestAhead.h"
#include "engine/DigestStore.h"
#include "engine/EarlyDigests.h"
#include "engine/EarlyStoredDigests.h"
#include "engine/EngineSink.h"
#include "platform/PathRules.h"

namespace {

using RecordIterator = FileList::iterator;

// How far ahead digests are computed: enough records to keep every digesting thread busy with
// eight files in flight. Whole files are taken in wider windows, so that the large files among
// them begin first and the small ones fill the lanes around them, instead of a large file being
// digested alone at the end of each window: a file is digested in one lane, so each window lasts
// at least as long as its largest file takes (a stop still ends every digest of a window at its
// next step).
constexpr size_t kWindowRecords = 256;
constexpr size_t kFullWindowRecords = 16384;
constexpr uint64_t kWindowBytes = 1ull << 30;

// The first eight or the last eight digest bytes as one number whose order is that of the bytes.
uint64_t DigestHalf(const Md5Digest& digest, size_t offset)
{
    uint64_t half;
    std::memcpy(&half, digest.data() + offset, sizeof half);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    half = __builtin_bswap64(half);
#endif
    return half;
}

// The digest as a pair of numbers whose order is the byte-wise order of the digests (memcmp's).
std::pair<uint64_t, uint64_t> DigestKey(const CFileRecord& record)
{
    return {DigestHalf(record.digest, 0), DigestHalf(record.digest, 8)};
}

// Records of g_fileList beside the keys they are ordered by: sorting the small pairs moves less
// than sorting the records would.
template <typename Key>
using KeyedRecords = std::vector<std::pair<Key, RecordIterator>>;

// Sorts records by a 64-bit number drawn from their key, stably: a least-significant-digit radix
// sort in 16-bit digits, over the digits where the numbers differ (sizes below 4 GiB take two
// passes). Two passes over the records per digit instead of a merge sort's log n.
template <typename Key, typename Bits>
void StableRadixSort(KeyedRecords<Key>& records, Bits bits)
{
    constexpr unsigned kDigitBits = 16;
    constexpr size_t kDigits = size_t{1} << kDigitBits;
    uint64_t differing = 0;
    if (!records.empty())
        for (const auto& keyed : records)
            differing |= bits(keyed.first) ^ bits(records.front().first);
    KeyedRecords<Key> sorted(records.size());
    std::vector<size_t> starts(kDigits);
    for (unsigned shift = 0; shift < 64; shift += kDigitBits) {
        if (((differing >> shift) & (kDigits - 1)) == 0)
            continue;  // every record has the same digit here
        std::fill(starts.begin(), starts.end(), 0);
        for (const auto& keyed : records)
            ++starts[(bits(keyed.first) >> shift) & (kDigits - 1)];
        size_t sum = 0;
        for (size_t& start : starts)
            sum += std::exchange(start, sum);
        for (auto& keyed : records)
            sorted[starts[(bits(keyed.first) >> shift) & (kDigits - 1)]++] = std::move(keyed);
        records.swap(sorted);
    }
}

void StableSortByKey(KeyedRecords<uint64_t>& records)
{
    StableRadixSort(records, [](uint64_t size) { return size; });
}

// By the first half of the digest, then, where first halves are equal (very rarely), by the whole.
void StableSortByKey(KeyedRecords<std::pair<uint64_t, uint64_t>>& records)
{
    StableRadixSort(records, [](const std::pair<uint64_t, uint64_t>& key) { return key.first; });
    for (auto first = records.begin(); first != records.end();) {
        auto next = std::next(first);
        while (next != records.end() && next->first.first == first->first.first)
            ++next;
        if (std::distance(first, next) > 1)
            std::stable_sort(first, next, [](const auto& a, const auto& b) { return a.first < b.first; });
        first = next;
    }
}

// g_fileList in size order (a stable merge sort: equal sizes keep their scan order). On the way the
// records are numbered in scan order, and both digest caches match them against the previous
// listing: one walk of the list instead of three.
KeyedRecords<uint64_t> ListRecordsBySize()
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
    CEarlyStoredDigests::Instance().HandOver();
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

// The records of every run of at least two records in `records` (a sequence of record iterators
// in key order, with the key of each): the records whose digests a phase will ask for.
template <typename Records, typename KeyOf>
std::vector<const CFileRecord*> RecordsOfSharedKeys(const Records& records, KeyOf keyOf)
{
    std::vector<const CFileRecord*> shared;
    auto first = records.begin();
    while (first != records.end()) {
        auto next = std::next(first);
        size_t length = 1;
        for (; next != records.end() && keyOf(*next) == keyOf(*first); ++next)
            ++length;
        if (length > 1)
            for (auto record = first; record != next; ++record)
                shared.push_back(&RecordOf(*record));
        first = next;
    }
    return shared;
}

// Before a phase: reads the store on disk in bulk for the records the phase will ask for (those
// whose key another record shares), when the cache in memory holds too few of them; the phase's
// windows then ask the store no more. Measured against the records asked for, not every record: a
// repeated search whose cache holds them all looks none of them up twice.
template <typename Records, typename KeyOf>
void LoadStoreForPhase(EDigestKind kind, const Records& records, KeyOf keyOf, CDigestAhead& ahead)
{
    if (!StoreWorthLoadingInBulk(kind, records.size()))
        return;
    const auto shared = RecordsOfSharedKeys(records, keyOf);
    if (StoreWorthLoadingInBulk(kind, shared.size())) {
        LoadStoredDigests(kind, shared);
        ahead.SkipStore();
    }
}

// Two records name the same file when their identities are known and equal: a folder walked twice,
// a folder reached through a link, or a hard link. Such a pair must never become a row, or the
// only copy of a file would be offered for deletion.
bool SameFile(const CFileRecord& a, const CFileRecord& b)
{
    return a.identity == b.identity && a.identity != FileIdentity{};
}

// Prepares the quick digests of the size runs from bySize[first] on: every record of each run of
// at least two records, until the window is full, and starts them. Returns the first run the
// window does not cover.
size_t PrepareSizeRuns(CDigestAhead& ahead, const KeyedRecords<uint64_t>& bySize, size_t first)
{
    ahead.Clear();
    while (first < bySize.size() && ahead.Records() < kWindowRecords) {
        size_t next = first + 1;
        while (next < bySize.size() && bySize[next].first == bySize[first].first)
            ahead.Add(*bySize[next++].second, kQuickDigestBytes);
        if (next != first + 1)
            ahead.Add(*bySize[first].second, kQuickDigestBytes);
        first = next;
    }
    ahead.Start();
    return first;
}

// Puts records[order[i]] at place i for every i, moving each record once along the cycles of the
// permutation `order`, without a second array of records.
void GatherInPlace(FileList& records, const std::vector<size_t>& order)
{
    std::vector<bool> placed(records.size());
    for (size_t start = 0; start < records.size(); ++start) {
        if (placed[start])
            continue;
        CFileRecord first = std::move(records[start]);
        size_t place = start;
        for (;;) {
            placed[place] = true;
            const size_t from = order[place];
            if (from == start) {
                records[place] = std::move(first);
                break;
            }
            records[place] = std::move(records[from]);
            place = from;
        }
    }
}

// Makes the record a candidate: it joins the candidates with its quick digest as its sort key.
void AddCandidate(KeyedRecords<std::pair<uint64_t, uint64_t>>& candidates, RecordIterator record)
{
    candidates.emplace_back(DigestKey(*record), record);
}

// One size run, starting at bySize[first]: digests the later records of the run, then the first
// one if any later record survived, and makes candidates of those that were digested. Returns the
// first record of the next run, or bySize.size() after a stop (with `stopped` set).
size_t GroupSizeRun(const KeyedRecords<uint64_t>& bySize, size_t first, KeyedRecords<std::pair<uint64_t, uint64_t>>& candidates,
                    IEngineSink* sink, CDigestAhead& ahead, bool& stopped)
{
    ++g_progressCount;
    bool anyAppended = false;
    size_t next = first + 1;
    for (; next < bySize.size() && bySize[next].first == bySize[first].first; ++next) {
        if (StopRequested()) {
            stopped = true;
            return bySize.size();
        }
        CFileRecord& record = *bySize[next].second;
        if (ahead.Take(record, record)) {
            if (g_progressCount % 100 == 0) {
                g_currentPath = record.path.str();
                if (sink)
                    sink->SendMessage(WMU_COMPAREPROGRESS);
            }
            AddCandidate(candidates, bySize[next].second);
            anyAppended = true;
        }
        ++g_progressCount;
    }
    CFileRecord& firstRecord = *bySize[first].second;
    if (anyAppended && ahead.Take(firstRecord, firstRecord))
        AddCandidate(candidates, bySize[first].second);
    return next;
}

// Prepares the full digests of the runs of equal quick digest from `first` on: every record of
// each run of at least two records but those that name the run's first file again (they are never
// digested while that file can be read), until the window is full, and starts them. Returns the
// first run the window does not cover.
RecordIterator PrepareDigestRuns(CDigestAhead& ahead, RecordIterator first)
{
    ahead.Clear();
    while (first != g_fileList.end() && ahead.Records() < kFullWindowRecords && ahead.Bytes() < kWindowBytes) {
        bool firstAdded = false;
        RecordIterator record = std::next(first);
        for (; record != g_fileList.end() && record->digest == first->digest; ++record) {
            if (SameFile(*first, *record))
                continue;
            if (!firstAdded)
                ahead.Add(*first, first->size);
            firstAdded = true;
            ahead.Add(*record, record->size);
        }
        first = record;
    }
    ahead.Start();
    return first;
}

// Appearances of folders in the rows being made, counted per folder listing (the records the scan
// made carry its number) or else per folder text in a hashed table, and added to g_folderTally at
// the end in one ascending pass: the counts TallyFolder gives for the same paths. The folders are
// views into the paths of g_fileList, which outlive the pairing.
class CFolderCounts {
public:
    // For rows made of `records`: the listings of one run have consecutive numbers, so their counts
    // lie in an array over the numbers the records carry.
    explicit CFolderCounts(const FileList& records)
    {
        uint32_t low = UINT32_MAX;
        uint32_t high = 0;
        for (const CFileRecord& record : records) {
            if (record.folder != 0) {
                low = std::min(low, record.folder);
                high = std::max(high, record.folder);
            }
        }
        if (low <= high && high - low <= 4 * records.size() + 1024) {
            m_base = low;
            m_byListing.resize(high - low + 1);
        }
    }
    void Add(const CFileRecord& record)
    {
        const uint32_t place = record.folder - m_base;
        if (record.folder == 0 || place >= m_byListing.size()) {
            ++m_byText[FolderViewOfPath(record.path)];
            return;
        }
        Count& count = m_byListing[place];
        if (count.appearances++ == 0)
            count.folder = FolderViewOfPath(record.path);
    }
    void AddToTally() const
    {
        // A folder walked twice has two listings: equal texts are merged after sorting.
        std::vector<std::pair<std::u16string_view, uint32_t>> counts(m_byText.begin(), m_byText.end());
        for (const Count& count : m_byListing)
            if (count.appearances != 0)
                counts.emplace_back(count.folder, count.appearances);
        std::sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return CodeUnitLess()(a.first, b.first); });
        for (auto count = counts.begin(); count != counts.end();) {
            uint32_t appearances = 0;
            auto next = count;
            for (; next != counts.end() && next->first == count->first; ++next)
                appearances += next->second;
            // In ascending order each new folder goes at the end: no lookup from the root.
            const size_t before = g_folderTally.size();
            const auto entry = g_folderTally.try_emplace(g_folderTally.end(), std::u16string(count->first), appearances);
            if (g_folderTally.size() == before)
                entry->second += appearances;
            count = next;
        }
    }

private:
    struct Count {
        std::u16string_view folder;
        uint32_t appearances = 0;
    };
    uint32_t m_base = 0;
    std::vector<Count> m_byListing;  // by folder number - m_base
    std::unordered_map<std::u16string_view, uint32_t> m_byText;
};

// The duplicates of one run's rows. A folder walked twice (given twice, or given together with one
// of its subfolders) lists each of its files twice; one row per path is enough, the second would
// name the same file again and double the totals.
class CRunDuplicates {
public:
    void Clear()
    {
        m_paths.clear();
        if (!m_set.empty())
            m_set = {};
    }
    bool Contains(const CPathString& path) const
    {
        if (!m_set.empty())
            return m_set.count(path) != 0;
        return std::any_of(m_paths.begin(), m_paths.end(), [&](const CPathString* made) { return *made == path; });
    }
    void Add(const CPathString& path)
    {
        if (m_set.empty() && m_paths.size() < kLinear) {
            m_paths.push_back(&path);
            return;
        }
        if (m_set.empty())
            for (const CPathString* made : m_paths)
                m_set.insert(*made);
        m_set.insert(path);
    }

private:
    static constexpr size_t kLinear = 32;  // a run's rows are searched one by one up to this many
    std::vector<const CPathString*> m_paths;
    std::unordered_set<CPathString, PathHash> m_set;
};

// The sets of equal content within one run of equal quick digests: each set's original is its first
// readable record in the run's order. A run usually holds one set; a few are searched one by one.
class CRunSets {
public:
    void Clear() { m_sets.clear(); }
    // The original of the set with this full digest, or nullptr when the digest starts a new set
    // (whose original `record` then becomes).
    const CFileRecord* OriginalFor(const Md5Digest& full, const CFileRecord& record)
    {
        for (const Set& set : m_sets)
            if (set.full == full)
                return set.original;
        m_sets.push_back(Set{full, &record});
        return nullptr;
    }
    // Whether the record names the original of a set again (a hard link, a folder walked twice).
    bool NamesAnOriginal(const CFileRecord& record) const
    {
        return std::any_of(m_sets.begin(), m_sets.end(), [&](const Set& set) { return SameFile(*set.original, record); });
    }

private:
    struct Set {
        Md5Digest full;
        const CFileRecord* original;
    };
    std::vector<Set> m_sets;
};

// Makes the row of a duplicate beside its set's original.
void MakeRow(const CFileRecord& original, const CFileRecord& duplicate, CFolderCounts& tally)
{
    g_duplicates.push_back(CDuplicatePair{original.path, duplicate.path, original.size, original.lastWrite, duplicate.lastWrite});
    g_duplicateBytes += original.size;
    tally.Add(original);
    tally.Add(duplicate);
}

// Pairs the runs of equal quick digest of g_fileList, making the rows.
void PairRuns(CDigestAhead& ahead, CFolderCounts& tally)
{
    CRunDuplicates madeInRun;
    CRunSets sets;
    // Each window's files are read while the window before it is taken.
    RecordIterator first = g_fileList.begin();
    RecordIterator windowEnd = first;
    RecordIterator startedEnd = PrepareDigestRuns(ahead, first);
    while (first != g_fileList.end()) {
        if (first == windowEnd) {
            ahead.Advance();
            windowEnd = startedEnd;
            if (windowEnd != g_fileList.end())
                startedEnd = PrepareDigestRuns(ahead, windowEnd);
        }
        RecordIterator end = std::next(first);
        while (end != g_fileList.end() && end->digest == first->digest)
            ++end;
        if (std::next(first) != end) {
            madeInRun.Clear();
            sets.Clear();
            for (RecordIterator record = first; record != end; ++record) {
                // A record that names a set's original again belongs to that set and may not pair
                // with it; a path already made a duplicate in this run (a folder walked twice)
                // pairs no second time. Neither is read.
                if (sets.NamesAnOriginal(*record) || madeInRun.Contains(record->path))
                    continue;
                CFileRecord full = *record;
                if (!ahead.Take(*record, full))
                    continue;
                if (const CFileRecord* original = sets.OriginalFor(full.digest, *record)) {
                    MakeRow(*original, *record, tally);
                    madeInRun.Add(record->path);
                }
            }
        }
        first = end;
    }
}

}  // namespace

void GroupCandidates(IEngineSink* sink)
{
    const KeyedRecords<uint64_t> bySize = ListRecordsBySize();
    KeyedRecords<std::pair<uint64_t, uint64_t>> candidates;
    g_progressCount = 0;
    bool stopped = false;
    CDigestAhead ahead(EDigestKind::Quick, EAfterStop::StopsAsking);
    LoadStoreForPhase(
        EDigestKind::Quick, bySize, [](const auto& keyed) { return keyed.first; }, ahead);
    // Each window's files are read while the window before it is taken.
    size_t first = 0;
    size_t windowEnd = 0;
    size_t startedEnd = PrepareSizeRuns(ahead, bySize, 0);
    while (first + 1 < bySize.size()) {
        if (first == windowEnd) {
            ahead.Advance();
            windowEnd = startedEnd;
            if (windowEnd < bySize.size())
                startedEnd = PrepareSizeRuns(ahead, bySize, windowEnd);
        }
        first = GroupSizeRun(bySize, first, candidates, sink, ahead, stopped);
        if (stopped)
            break;
    }
    // The early digests are all taken, and the records move below: their places no longer hold.
    CEarlyDigests::Instance().Clear();
    if (stopped)
        return;
    // The candidates in digest order (stable: equal digests keep their order) become the list;
    // the records move within it, those that are not candidates are dropped.
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

void PairDuplicates()
{
    g_duplicates.clear();
    g_folderTally.clear();
    CFolderCounts tally(g_fileList);
    {
        CDigestAhead ahead(EDigestKind::Full, EAfterStop::GoesOnAsking);
        LoadStoreForPhase(
            EDigestKind::Full, g_fileList, [](const CFileRecord& record) { return record.digest; }, ahead);
        PairRuns(ahead, tally);
    }  // the windows go before the tally grows
    tally.AddToTally();
}

void TallyFolder(std::u16string_view path)
{
    const std::u16string_view folder = FolderViewOfPath(path);
    const auto found = g_folderTally.find(folder);
    if (found != g_folderTally.end())
        ++found->second;
    else
        g_folderTally.emplace(std::u16string(folder), 1);
}
