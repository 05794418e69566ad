#include "engine/SearchRun.h"

#include <memory>

#include "engine/Catalogue.h"
#include "engine/Detection.h"
#include "engine/DigestStore.h"
#include "engine/EarlyDigests.h"
#include "engine/EarlyStoredDigests.h"
#include "engine/EngineSink.h"
#include "engine/FolderScan.h"
#include "engine/RacyEntries.h"

void BeginSearchRun(uint64_t sizeFromKB, uint64_t sizeToKB)
{
    SetSizeBounds(sizeFromKB, sizeToKB);
    g_stopFlag.store(0);
    g_fileList.clear();
    g_duplicateBytes = 0;
    g_fileCount = 0;
    g_currentPath.clear();
}

namespace {

// What the digest threads do while this run's scan lists files (see IScanCompanion): when memory
// holds nothing, they read the store if it holds anything, or else read the quick digests the
// grouping phase is sure to ask for; when memory holds entries, nothing.
std::unique_ptr<IScanCompanion> ChooseScanCompanion()
{
    if (!g_quickDigestCache.empty() || !g_fullDigestCache.empty())
        return nullptr;
    if (g_digestStore && !g_digestStore->HoldsNothing())
        return std::make_unique<CEarlyStoredDigests>(*g_digestStore);
    return std::make_unique<CEarlyDigests>();
}

// The end of every run, stopped or not: the digests learned go to the store, the front end hears
// that the run is done, and the engine is idle again. Returns SearchThreadProc's result.
int EndSearchRun(IEngineSink* sink)
{
    g_searchState = ESearchState::Finishing;
    SaveLearnedDigests();
    if (sink)
        sink->SendMessage(WMU_SEARCHDONE);
    g_searchState = ESearchState::Idle;
    return 1;
}

}  // namespace

int SearchThreadProc(IEngineSink* sink, const std::vector<std::u16string>& folders)
{
    g_searchState = ESearchState::Scanning;
    g_digestMoment = WallClockNow();  // before any file is listed, so before any is read
    // What the last save left running on the store's files ends before they can be listed.
    if (g_digestStore)
        g_digestStore->Settle();
    std::unique_ptr<IScanCompanion> companion = ChooseScanCompanion();
    ScanSearchFolders(folders, sink, companion.get());
    if (!StopRequested()) {
        g_searchState = ESearchState::Grouping;
        GroupCandidates(sink, companion.get());
        companion.reset();  // what it made is taken
        if (!StopRequested()) {
            g_searchState = ESearchState::Pairing;
            PairDuplicates();
            return EndSearchRun(sink);
        }
    }
    companion.reset();
    g_fileList.clear();
    g_duplicates.clear();
    return EndSearchRun(sink);
}

void RequestStop()
{
    g_stopFlag.fetch_add(1);
}
