#pragma once
// The folder scan: the first phase of a run. Runs on the search worker only.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

class IEngineSink;
class IScanCompanion;

// Sets g_minSize and g_maxSize from kilobyte values: each is shifted left by 10 bits (high bits
// fall off); an upper product of 0 means no upper bound (all bits set).
void SetSizeBounds(uint64_t sizeFromKB, uint64_t sizeToKB);

// The walk of one run: folders are walked depth-first in file-system order, and every regular file
// whose size lies strictly between g_minSize and g_maxSize becomes a record appended to g_fileList
// (and is shown to the run's scan companion, if any). Sends WMU_SCANPROGRESS on entry to every
// folder, before it is opened. A folder that cannot be listed contributes nothing, silently. Polls
// the stop flag before every entry and after every nested walk; a folder already on the current
// recursion path (a link cycle) is not walked again. A folder reached through a symbolic link is
// walked only if no folder of its identity was walked before by this walk, and never when it lies
// on a pseudo file system (proc, sysfs and the like): such a folder is walked only when it is given
// as a search folder. Folders reached without a link are walked every time (overlapping search
// folders). Search worker only.
class CFolderScan {
public:
    CFolderScan(IEngineSink* sink, IScanCompanion* companion);
    // Walks one folder and everything below it.
    void Walk(const std::u16string& folder);

private:
    struct IdentityHash {
        size_t operator()(const FileIdentity& id) const
        {
            return std::hash<uint64_t>()(id.inode * 0x9e3779b97f4a7c15ull ^ id.device);
        }
    };
    void WalkFolder(const std::u16string& folder, bool throughLink);
    void AddRecord(const DirEntry& entry, const std::u16string& prefix, uint32_t folderNumber);

    IEngineSink* const m_sink;
    IScanCompanion* const m_companion;
    std::vector<FileIdentity> m_path;                         // the folders being walked, outermost first
    std::unordered_set<FileIdentity, IdentityHash> m_walked;  // every folder walked so far
};

// The top-level loop of a run: walks each folder in order (one walk: a folder walked under one of
// them is not walked again through a link under another), g_fileCount snapshotted after each, then
// ends the companion's work, snapshots g_fileCount once more and sends one final WMU_SCANPROGRESS.
void ScanSearchFolders(const std::vector<std::u16string>& folders, IEngineSink* sink, IScanCompanion* companion = nullptr);
