#include "engine/Detection.h"

#include <cstring>
#include <iterator>

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

bool DigestLess(const CFileRecord& a, const CFileRecord& b)
{
    return std::memcmp(a.digest.data(), b.digest.data(), a.digest.size()) < 0;
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
    while (original != g_fileList.end() && ahead.Records() < kWindowRecords && ahead.BytesToRead() < kWindowBytes) {
        RecordIterator record = std::next(original);
        for (; record != g_fileList.end() && record->digest == original->digest; ++record) {
            if (!SameFile(*original, *record)) {
                ahead.Add(*original);
                ahead.Add(*record);
            }
        }
        original = record;
    }
    ahead.Compute();
    return original;
}

// Compares one record of a run with the run's original by full digest and makes the row.
void PairWithOriginal(const CFileRecord& original, const CFileRecord& record, CDigestAhead& ahead)
{
    CFileRecord originalFull = original;
    CFileRecord recordFull = record;
    const bool originalDigested = ahead.Take(original, originalFull);
    const bool recordDigested = ahead.Take(record, recordFull);
    if (!originalDigested || !recordDigested || originalFull.digest != recordFull.digest)
        return;
    g_duplicates.push_back(CDuplicatePair{original.path, record.path, original.size, original.lastWrite, record.lastWrite});
    g_duplicateBytes += original.size;
    TallyFolder(original.path);
    TallyFolder(record.path);
}

} // namespace

void GroupCandidates(IEngineSink* sink)
{
    g_fileList.sort([](const CFileRecord& a, const CFileRecord& b) { return a.size < b.size; });
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
    candidates.sort(DigestLess);
    g_fileList = std::move(candidates);
}

void PairDuplicates()
{
    g_duplicates.clear();
    g_folderTally.clear();
    CDigestAhead ahead(g_fullDigestCache, 0, false);
    RecordIterator original = g_fileList.begin();
    RecordIterator windowEnd = original;
    while (original != g_fileList.end()) {
        if (original == windowEnd)
            windowEnd = PrepareDigestRuns(ahead, original);
        RecordIterator record = std::next(original);
        for (; record != g_fileList.end() && record->digest == original->digest; ++record) {
            if (!SameFile(*original, *record))
                PairWithOriginal(*original, *record, ahead);
        }
        original = record;
    }
}

void TallyFolder(std::u16string_view path)
{
    ++g_folderTally[FolderOfPath(path)];
}
