#include "tests/support/EngineHelpers.h"

#include "engine/Digest.h"
#include "engine/DigestBatch.h"
#include "engine/FolderScan.h"
#include "engine/PhaseDigests.h"
#include "engine/RacyEntries.h"

namespace quillon::test {

void ScanFolder(const std::u16string& folder, IEngineSink* sink)
{
    CFolderScan scan(sink, nullptr);
    scan.Walk(folder);
    scan.WalkLinkedFolders();
}

bool GetQuickDigest(CFileRecord& record)
{
    g_digestMoment = WallClockNow();
    return CPhaseDigests(EDigestKind::Quick, EAfterStop::GoesOnAsking).Take(record, record);
}

bool GetFullDigest(CFileRecord& record)
{
    g_digestMoment = WallClockNow();
    return CPhaseDigests(EDigestKind::Full, EAfterStop::GoesOnAsking).Take(record, record);
}

bool DigestFile(std::u16string_view path, CFileRecord& record, uint64_t limit)
{
    uint64_t bytes = 0;
    return ComputeDigest(path, limit, record.digest, bytes);
}

void ComputeAll(std::vector<DigestJob>& jobs, uint64_t limit, bool skipAfterStop)
{
    CDigestBatch batch(jobs, limit, skipAfterStop);
    batch.Finish();
}

}  // namespace quillon::test
