#pragma once
// The engine-wide containers and counters. Each exists once for the life of the process. The
// search worker writes them during a run; the front end reads them between runs, or while the
// worker waits inside a message it sent. Only g_stopFlag and g_searchState are touched by both
// threads at any time.
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/DigestCache.h"
#include "engine/DuplicatePair.h"
#include "engine/FileRecord.h"
#include "platform/FileSystem.h"
#include "platform/Utf16Text.h"

extern FileList g_fileList;                                             // scan order, then candidates
extern std::vector<CDuplicatePair> g_duplicates;                        // rows of the last run
extern std::map<std::u16string, uint32_t, CodeUnitLess> g_folderTally;  // folder -> appearances in rows
using DigestCache = CDigestCache;
extern DigestCache g_quickDigestCache;
extern DigestCache g_fullDigestCache;

extern uint64_t g_minSize;            // exclusive lower size bound in bytes
extern uint64_t g_maxSize;            // exclusive upper size bound; all bits set for none
extern uint32_t g_fileCount;          // files listed, as of the last snapshot
extern uint32_t g_progressCount;      // files the grouping phase has examined
extern uint64_t g_duplicateBytes;     // sum of the sizes of the rows made
extern std::u16string g_currentPath;  // the file last reported by the grouping phase
extern std::atomic<int32_t> g_stopFlag;

// Where a run stands; front ends may read it at any time (an atomic value).
enum class ESearchState : int { Idle, Scanning, Grouping, Pairing, Finishing };
extern std::atomic<ESearchState> g_searchState;

// The file system the engine lists and reads through; the real one (CPosixFileSystem::Instance)
// unless a test replaced it.
extern IFileSystem* g_fileSystem;

// Returns every global above to its state between runs: containers empty, counters 0, no size
// bounds (g_minSize 0, g_maxSize all bits set), no current path, stop flag clear, state Idle, the
// real file system. For a process that starts over without a new process (the tests); never
// while a search runs.
void ResetCatalogue();

// True once a stop was requested for the current run (an atomic read).
inline bool StopRequested()
{
    return g_stopFlag.load() != 0;
}
