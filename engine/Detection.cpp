#include "engine/Detection.h"

#include <cstring>
#include <iterator>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/EngineSink.h"
#include "platform/PathRules.h"

namespace {

using RecordIterator = std::list<CFileRecord>::iterator;

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

// One size run, starting at `first`: digests the later records of the run, then the first one if
// any later record survived. Returns the first record of the next run, or end() after a stop
// (with `stopped` set).
RecordIterator GroupSizeRun(RecordIterator first, std::list<CFileRecord>& candidates, IEngineSink* sink, bool& stopped)
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
        if (GetQuickDigest(*current)) {
            if (g_progressCount % 100 == 0) {
                g_currentPath = current->path;
                if (sink)
                    sink->SendMessage(WMU_COMPAREPROGRESS);
            }
            MoveToCandidates(candidates, current);
            anyAppended = true;
        }
        ++g_progressCount;
    }
    if (anyAppended && GetQuickDigest(*first))
        MoveToCandidates(candidates, first);
    return record;
}

// Compares one record of a run with the run's original by full digest and makes the row.
void PairWithOriginal(const CFileRecord& original, const CFileRecord& record)
{
    CFileRecord originalFull = original;
    CFileRecord recordFull = record;
    const bool originalDigested = GetFullDigest(originalFull);
    const bool recordDigested = GetFullDigest(recordFull);
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
    RecordIterator first = g_fileList.begin();
    while (first != g_fileList.end() && std::next(first) != g_fileList.end()) {
        first = GroupSizeRun(first, candidates, sink, stopped);
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
    RecordIterator original = g_fileList.begin();
    while (original != g_fileList.end()) {
        RecordIterator record = std::next(original);
        for (; record != g_fileList.end() && record->digest == original->digest; ++record) {
            if (!SameFile(*original, *record))
                PairWithOriginal(*original, *record);
        }
        original = record;
    }
}

void TallyFolder(const std::u16string& path)
{
    ++g_folderTally[FolderOfPath(path)];
}
