#include "engine/Catalogue.h"

#include "engine/DigestKind.h"
#include "platform/PosixFileSystem.h"

FileList g_fileList;
std::vector<CDuplicatePair> g_duplicates;
std::map<std::u16string, uint32_t, CodeUnitLess> g_folderTally;
DigestCache g_quickDigestCache;
DigestCache g_fullDigestCache;

uint64_t g_minSize = 0;
uint64_t g_maxSize = 0;
uint32_t g_fileCount = 0;
uint32_t g_progressCount = 0;
uint64_t g_duplicateBytes = 0;
std::u16string g_currentPath;
std::atomic<int32_t> g_stopFlag{0};
std::atomic<ESearchState> g_searchState{ESearchState::Idle};

IFileSystem* g_fileSystem = &CPosixFileSystem::Instance();

CDigestCache& CacheOf(EDigestKind kind)
{
    return kind == EDigestKind::Quick ? g_quickDigestCache : g_fullDigestCache;
}

void ResetCatalogue()
{
    g_fileList.clear();
    g_duplicates.clear();
    g_folderTally.clear();
    g_quickDigestCache.clear();
    g_fullDigestCache.clear();
    g_minSize = 0;
    g_maxSize = UINT64_MAX;
    g_fileCount = 0;
    g_progressCount = 0;
    g_duplicateBytes = 0;
    g_currentPath.clear();
    g_stopFlag.store(0);
    g_searchState = ESearchState::Idle;
    g_fileSystem = &CPosixFileSystem::Instance();
}
