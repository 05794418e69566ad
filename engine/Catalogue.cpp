#include "engine/Catalogue.h"

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

namespace {
CPosixFileSystem s_posixFileSystem;
}
IFileSystem* g_fileSystem = &s_posixFileSystem;
