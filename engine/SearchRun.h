#pragma once
// One search run: scan, grouping, pairing, reported through a sink. The front end prepares the
// run on its own thread, then runs SearchThreadProc on a worker (or on the same thread).
#include <cstdint>
#include <string>
#include <vector>

class IEngineSink;

// Prepares the engine for a run, before the worker starts: size bounds from the kilobyte values,
// stop flag cleared, g_fileList emptied, g_duplicateBytes and g_fileCount 0, g_currentPath empty.
// Leaves g_duplicates and g_folderTally (the previous result) alone.
void BeginSearchRun(uint64_t sizeFromKB, uint64_t sizeToKB);

// The worker: scans the folders in order (snapshots of g_fileCount after each and at the end, then
// WMU_SCANPROGRESS), groups and pairs unless a stop was requested. A stop during the scan or the
// grouping phase empties g_fileList and g_duplicates and leaves g_folderTally; a stop during the
// pairing phase keeps the rows made. Digests missing from memory are looked up in g_digestStore
// first; the digests the run computed are saved there before the end (also after a stop). Always
// ends by sending WMU_SEARCHDONE once. Returns 1.
int SearchThreadProc(IEngineSink* sink, const std::vector<std::u16string>& folders);

// Raises the stop flag of the current run (an atomic increment). Any thread may call it.
void RequestStop();
