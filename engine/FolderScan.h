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
// the stop flag before every entry and after every nested walk.
// Folders reached without a link are walked every time (overlapping search folders). A symbolic
// link to a folder is not followed where it is met: it is put aside, and the folders put aside are
// walked by WalkLinkedFolders, after every folder reached without a link, in the order they were
// met (the links met there go on the same list). So a file inside the searched folders is listed
// under its own path, never under a link's. A folder reached through a link is walked only if no
// folder of its identity was walked before by this walk (a link to a folder already walked, or a
// link cycle, adds nothing), and the same holds for every folder below it; never when it lies on a
// pseudo file system (proc, sysfs and the like): such a folder is walked only when it is given as
// a search folder. A folder already on the current recursion path is never walked again. Search
// worker only.
class CFolderScan {
public:
    CFolderScan(IEngineSink* sink, IScanCompanion* companion);
    // Walks one folder and everything below it that is reached without a link.
    void Walk(const std::u16string& folder);
    // Walks the folders reached through links, put aside so far and while they are walked.
    void WalkLinkedFolders();

private:
    struct IdentityHash {
        size_t operator()(const FileIdentity& id) const
        {
            return std::hash<uint64_t>()(id.inode * 0x9e3779b97f4a7c15ull ^ id.device);
        }
    };
    void WalkFolder(const std::u16string& folder, bool throughLink);
    // Puts a link to a folder aside for WalkLinkedFolders, unless it may not or need not be walked.
    void PutLinkAside(const DirEntry& link, const std::u16string& prefix);
    void AddRecord(const DirEntry& entry, const std::u16string& prefix, uint32_t folderNumber);

    IEngineSink* const m_sink;
    IScanCompanion* const m_companion;
    std::vector<FileIdentity> m_path;                         // the folders being walked, outermost first
    std::unordered_set<FileIdentity, IdentityHash> m_walked;  // every folder walked so far
    std::vector<std::u16string> m_linked;                     // the links to folders put aside, in order
    std::unordered_set<FileIdentity, IdentityHash> m_aside;   // the folders they lead to, where known
    bool m_walkingLinks = false;                              // WalkLinkedFolders runs
};

// The top-level loop of a run: walks each folder in order (one walk: a folder walked under one of
// them is not walked again through a link under another), g_fileCount snapshotted after each, then
// the folders reached through links, then ends the companion's work, snapshots g_fileCount once more and sends one final WMU_SCANPROGRESS.
void ScanSearchFolders(const std::vector<std::u16string>& folders, IEngineSink* sink, IScanCompanion* companion = nullptr);
