#include "engine/Detection.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/DigestAhead.h"
#include "engine/EngineSink.h"
#include "platform/PathRules.h"

namespace {

using RecordIterator = std::list<CFileRecord>::iterator;

// How far ahead digests are computed: enough records to keep every digesting thread busy, few
// enough bytes that a window stays short.
constexpr size_t kWindowRecords = 256;
constexpr uint64_t kWindowBytes = 64ull << 20;

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

uint64_t SizeKey(const CFileRecord& record)
{
    return record.size;
}

// A stable merge sort of the list by a key, moving nodes: the keys and node positions are sorted
// side by side in one contiguous array (a merge sort that stays in the processor's caches), then
// every node is moved once to its place.
template <typename KeyOf>
void SortList(std::list<CFileRecord>& list, KeyOf keyOf)
{
    using Key = decltype(keyOf(list.front()));
    std::vector<std::pair<Key, RecordIterator>> order;
    order.reserve(list.size());
    for (RecordIterator record = list.begin(); record != list.end(); ++record)
        order.emplace_back(keyOf(*record), record);
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : order)
        list.splice(list.end(), list, entry.second);
}

// Two records name the same file when their identities are known and equal: a folder walked twice,
// a folder reached through a link, or a hard link. Such a pair must never become a row, or the
// only copy of a file would be offered for deletion.
bool SameFile(const CFileRecord& a, const CFileRecord& b)
{
    return a.identity == b.identity && a.identity != FileIdentity{};
}

// Moves the record out of g_fileList to the end of the candidates. A node moves; nothing is copied.
void MoveToCandidates(std::list<CFileRecord>& candidates, RecordIterator record)
{
    candidates.splice(candidates.end(), g_fileList, record);
}

// Prepares the quick digests of the size runs from `first` on: every record of each run of at
// least two records, until the window is full. Returns the first run the window does not cover.
RecordIterator PrepareSizeRuns(CDigestAhead& ahead, RecordIterator first)
{
    ahead.Clear();
    while (first != g_fileList.end() && ahead.Records() < kWindowRecords) {
        RecordIterator next = std::next(first);
        while (next != g_fileList.end() && next->size == first->size)
            ahead.Add(*next++);
        if (next != std::next(first))
            ahead.Add(*first);
        first = next;
    }
    ahead.Compute();
    return first;
}

// One size run, starting at `first`: digests the later records of the run, then the first one if
// any later record survived. Returns the first record of the next run, or end() after a stop
// (with `stopped` set).
RecordIterator GroupSizeRun(RecordIterator first, std::list<CFileRecord>& candidates, IEngineSink* sink,
                            CDigestAhead& ahead, bool& stopped)
{
    ++g_progressCount;
    bool anyAppended = false;
    RecordIterator record = std::next(first);
    while (record != g_fileList.end() && record->size == first->size) {
        if (StopRequested()) {
            stopped = true;
            return g_fileList.end();
        }
        RecordIterator current = record++;
        if (ahead.Take(*current, *current)) {
            if (g_progressCount % 100 == 0) {
                g_currentPath = current->path.str();
                if (sink)
                    sink->SendMessage(WMU_COMPAREPROGRESS);
            }
            MoveToCandidates(candidates, current);
            anyAppended = true;
        }
        ++g_progressCount;
    }
    if (anyAppended && ahead.Take(*first, *first))
        MoveToCandidates(candidates, first);
    return record;
}

// Prepares the full digests of the runs of equal quick digest from `original` on: the original
// and every later record of each run it is compared with, until the window is full. Returns the
// first run the window does not cover.
RecordIterator PrepareDigestRuns(CDigestAhead& ahead, RecordIterator original)
{
    ahead.Clear();
    while (original != g_fileList.end() && ahead.Records() < kWindowRecords && ahead.Bytes() < kWindowBytes) {
        bool originalAdded = false;
        RecordIterator record = std::next(original);
        for (; record != g_fileList.end() && record->digest == original->digest; ++record) {
            if (SameFile(*original, *record))
                continue;
            if (!originalAdded)
                ahead.Add(*original);
            originalAdded = true;
            ahead.Add(*record);
        }
        original = record;
    }
    ahead.Compute();
    return original;
}

// Appearances of folders in the rows being made, counted in a hashed table (the folders are
// views into the paths of g_fileList, which outlive the pairing) and added to g_folderTally at the
// end in one pass: the same counts as TallyFolder row by row, without an ordered lookup per path.
class CFolderCounts {
public:
    void Add(std::u16string_view path) { ++m_counts[FolderViewOfPath(path)]; }
    void AddToTally() const
    {
        for (const auto& [folder, count] : m_counts) {
            const auto [entry, inserted] = g_folderTally.try_emplace(std::u16string(folder), count);
            if (!inserted)
                entry->second += count;
        }
    }

private:
    std::unordered_map<std::u16string_view, uint32_t> m_counts;
};

// Compares one record of a run with the run's original by full digest and makes the row.
void PairWithOriginal(const CFileRecord& original, const CFileRecord& record, CDigestAhead& ahead, CFolderCounts& tally)
{
    CFileRecord originalFull = original;
    CFileRecord recordFull = record;
    const bool originalDigested = ahead.Take(original, originalFull);
    const bool recordDigested = ahead.Take(record, recordFull);
    if (!originalDigested || !recordDigested || originalFull.digest != recordFull.digest)
        return;
    g_duplicates.push_back(CDuplicatePair{original.path, record.path, original.size, original.lastWrite, record.lastWrite});
    g_duplicateBytes += original.size;
    tally.Add(original.path);
    tally.Add(record.path);
}

} // namespace

void GroupCandidates(IEngineSink* sink)
{
    SortList(g_fileList, SizeKey);
    std::list<CFileRecord> candidates;
    g_progressCount = 0;
    bool stopped = false;
    CDigestAhead ahead(g_quickDigestCache, kQuickDigestBytes, true);
    RecordIterator first = g_fileList.begin();
    RecordIterator windowEnd = first;
    while (first != g_fileList.end() && std::next(first) != g_fileList.end()) {
        if (first == windowEnd)
            windowEnd = PrepareSizeRuns(ahead, first);
        first = GroupSizeRun(first, candidates, sink, ahead, stopped);
        if (stopped)
            return;
    }
    SortList(candidates, DigestKey);
    g_fileList = std::move(candidates);
}

void PairDuplicates()
{
    g_duplicates.clear();
    g_folderTally.clear();
    CDigestAhead ahead(g_fullDigestCache, 0, false);
    CFolderCounts tally;
    RecordIterator original = g_fileList.begin();
    RecordIterator windowEnd = original;
    while (original != g_fileList.end()) {
        if (original == windowEnd)
            windowEnd = PrepareDigestRuns(ahead, original);
        RecordIterator record = std::next(original);
        for (; record != g_fileList.end() && record->digest == original->digest; ++record) {
            if (!SameFile(*original, *record))
                PairWithOriginal(*original, *record, ahead, tally);
        }
        original = record;
    }
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
