#include "engine/FolderScan.h"

#include <algorithm>
#include <limits>

#include "engine/Catalogue.h"
#include "engine/EngineSink.h"
#include "platform/PathRules.h"

namespace {

// The identities of the folders being walked, outermost first.
using RecursionPath = std::vector<FileIdentity>;

bool InRange(uint64_t size)
{
    return g_minSize < size && size < g_maxSize;
}

void ScanFolderOnPath(const std::u16string& folder, IEngineSink* sink, RecursionPath& path)
{
    if (sink)
        sink->SendMessage(WMU_SCANPROGRESS);
    const auto listing = g_fileSystem->OpenFolder(folder);
    if (!listing)
        return;
    const FileIdentity self = listing->Identity();
    if (std::find(path.begin(), path.end(), self) != path.end())
        return;  // reached again through a link to one of its own parents
    path.push_back(self);

    std::u16string prefix = folder;
    AddTrailingBackslash(prefix);
    DirEntry entry;
    while (!StopRequested() && listing->Next(entry)) {
        if (entry.isFile && InRange(entry.size)) {
            CFileRecord& record = g_fileList.emplace_back();
            record.path = CPathString::Concat(prefix, entry.name);
            record.size = entry.size;
            record.lastWrite = entry.lastWrite;
            record.identity = entry.identity;
        } else if (entry.isFolder) {
            ScanFolderOnPath(prefix + entry.name, sink, path);
            if (StopRequested())
                break;
        }
    }
    path.pop_back();
}

} // namespace

void SetSizeBounds(uint64_t sizeFromKB, uint64_t sizeToKB)
{
    g_minSize = sizeFromKB << 10;
    g_maxSize = sizeToKB << 10;
    if (g_maxSize == 0)
        g_maxSize = std::numeric_limits<uint64_t>::max();
}

void ScanFolder(const std::u16string& folder, IEngineSink* sink)
{
    RecursionPath path;
    ScanFolderOnPath(folder, sink, path);
}

void ScanSearchFolders(const std::vector<std::u16string>& folders, IEngineSink* sink)
{
    for (const std::u16string& folder : folders) {
        ScanFolder(folder, sink);
        g_fileCount = static_cast<uint32_t>(g_fileList.size());
    }
    g_fileCount = static_cast<uint32_t>(g_fileList.size());
    if (sink)
        sink->SendMessage(WMU_SCANPROGRESS);
}
