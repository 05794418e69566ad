#pragma once
// The folder scan: the first phase of a run. Walks folders depth-first in file-system order and
// appends a record to g_fileList for every regular file whose size lies strictly between
// g_minSize and g_maxSize. Runs on the search worker only.
#include <cstdint>
#include <string>
#include <vector>

class IEngineSink;

// Sets g_minSize and g_maxSize from kilobyte values: each is shifted left by 10 bits (high bits
// fall off); an upper product of 0 means no upper bound (all bits set).
void SetSizeBounds(uint64_t sizeFromKB, uint64_t sizeToKB);

// Walks one folder and everything below it. Sends WMU_SCANPROGRESS on entry to every folder,
// before it is opened. A folder that cannot be listed contributes nothing, silently. Polls the
// stop flag before every entry and after every nested walk; a folder already on the current
// recursion path (a link cycle) is not walked again. A folder reached through a symbolic link is
// walked only if no folder of its identity was walked before in the same run, and never when it
// lies on a pseudo file system (proc, sysfs and the like): such a folder is walked only when it is
// given as a search folder. Folders reached without a link are walked every time (overlapping
// search folders).
void ScanFolder(const std::u16string& folder, IEngineSink* sink);

// The top-level loop: ScanFolder on each folder in order (one run: a folder walked under one of
// them is not walked again through a link under another), g_fileCount snapshotted after each, then
// once more at the end followed by one final WMU_SCANPROGRESS.
void ScanSearchFolders(const std::vector<std::u16string>& folders, IEngineSink* sink);
