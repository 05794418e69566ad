#include "engine/SearchRun.h"

#include "engine/Catalogue.h"
#include "engine/Detection.h"
#include "engine/DigestStore.h"
#include "engine/EngineSink.h"
#include "engine/FolderScan.h"

std::atomic<ESearchState> g_searchState{ESearchState::Idle};

void BeginSearchRun(uint64_t sizeFromKB, uint64_t sizeToKB)
{
    SetSizeBounds(sizeFromKB, sizeToKB);
    g_stopFlag.store(0);
    g_fileList.clear();
    g_duplicateBytes = 0;
    g_fileCount = 0;
    g_currentPath.clear();
}

int SearchThreadProc(IEngineSink* sink, const std::vector<std::u16string>& folders)
{
    g_searchState = ESearchState::Scanning;
    ScanSearchFolders(folders, sink);
    if (!StopRequested()) {
        g_searchState = ESearchState::Grouping;
        GroupCandidates(sink);
        if (!StopRequested()) {
            g_searchState = ESearchState::Pairing;
            PairDuplicates();
            g_searchState = ESearchState::Finishing;
            SaveLearnedDigests();
            if (sink)
                sink->SendMessage(WMU_SEARCHDONE);
            g_searchState = ESearchState::Idle;
            return 1;
        }
    }
    g_fileList.clear();
    g_duplicates.clear();
    g_searchState = ESearchState::Finishing;
    SaveLearnedDigests();
    if (sink)
        sink->SendMessage(WMU_SEARCHDONE);
    g_searchState = ESearchState::Idle;
    return 1;
}

void RequestStop()
{
    g_stopFlag.fetch_add(1);
}
