#include "engine/FolderScan.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unordered_set>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/EarlyDigests.h"
#include "engine/EarlyStoredDigests.h"
#include "engine/EngineSink.h"
#include "platform/PathRules.h"

namespace {

struct IdentityHash {
    size_t operator()(const FileIdentity& id) const
    {
        return std::hash<uint64_t>()(id.inode * 0x9e3779b97f4a7c15ull ^ id.device);
    }
};

// What one walk remembers: the identities of the folders being walked (outermost first), and of
// every folder walked so far in the run.
struct WalkState {
    std::vector<FileIdentity> path;
    std::unordered_set<FileIdentity, IdentityHash> walked;
};

// The number of the last folder listed, counting every folder any scan of the process listed: two
// listings never share a number (records made elsewhere have none, 0).
uint32_t s_lastFolderNumber = 0;

uint32_t NextFolderNumber()
{
    if (++s_lastFolderNumber == 0)
        ++s_lastFolderNumber;
    return s_lastFolderNumber;
}

// Levels that keep their listing open while a subfolder is walked; deeper ones read the rest of
// their entries first.
constexpr size_t kOpenLevels = 32;

bool InRange(uint64_t size)
{
    return g_minSize < size && size < g_maxSize;
}

// Whether a folder met as `entry` is walked: a folder reached through a link is walked once per
// run, and never when it lies on a pseudo file system.
bool WalkThroughLink(const DirEntry& entry, const WalkState& state)
{
    return !entry.onPseudoFileSystem && (entry.identity == FileIdentity{} || !state.walked.count(entry.identity));
}

void ScanFolderOnPath(const std::u16string& folder, IEngineSink* sink, WalkState& state, bool throughLink)
{
    if (sink)
        sink->SendMessage(WMU_SCANPROGRESS);
    auto listing = g_fileSystem->OpenFolder(folder);
    if (!listing)
        return;
    const FileIdentity self = listing->Identity();
    if (std::find(state.path.begin(), state.path.end(), self) != state.path.end())
        return;  // reached again through a link to one of its own parents
    if (!state.walked.insert(self).second && throughLink)
        return;  // walked already (a listing that could not tell the link's identity)
    state.path.push_back(self);
    const uint32_t folderNumber = NextFolderNumber();

    std::u16string prefix = folder;
    AddTrailingBackslash(prefix);
    // Deep down, the entries a folder has left are read before a subfolder is walked and its
    // listing is closed: one open listing per level would exhaust the descriptors of the process
    // in a deep enough tree.
    std::unique_ptr<IDirListing> open = std::move(listing);
    std::vector<DirEntry> rest;
    size_t restNext = 0;
    const auto next = [&](DirEntry& into) {
        if (open)
            return open->Next(into);
        if (restNext == rest.size())
            return false;
        into = std::move(rest[restNext++]);
        return true;
    };
    DirEntry entry;
    while (!StopRequested() && next(entry)) {
        if (entry.isFile && InRange(entry.size)) {
            CFileRecord& record = g_fileList.emplace_back();
            record.path = g_quickDigestCache.ListedPath(prefix, entry.name);
            record.size = entry.size;
            record.lastWrite = entry.lastWrite;
            record.changeTime = entry.changeTime;
            record.identity = entry.identity;
            record.folder = folderNumber;
            CEarlyDigests::Instance().Listed(g_fileList.size() - 1);
            CEarlyStoredDigests::Instance().Listed(g_fileList.size() - 1);
        } else if (entry.isFolder) {
            if (entry.isLink && !WalkThroughLink(entry, state))
                continue;
            if (open && state.path.size() > kOpenLevels) {
                for (DirEntry later; open->Next(later);)
                    rest.push_back(std::move(later));
                open.reset();
            }
            ScanFolderOnPath(prefix + entry.name, sink, state, entry.isLink);
            if (StopRequested())
                break;
        }
    }
    state.path.pop_back();
}

}  // namespace

void SetSizeBounds(uint64_t sizeFromKB, uint64_t sizeToKB)
{
    g_minSize = sizeFromKB << 10;
    g_maxSize = sizeToKB << 10;
    if (g_maxSize == 0)
        g_maxSize = std::numeric_limits<uint64_t>::max();
}

void ScanFolder(const std::u16string& folder, IEngineSink* sink)
{
    if (g_fileList.empty())
        g_quickDigestCache.RewindListing();
    WalkState state;
    ScanFolderOnPath(folder, sink, state, false);
}

void ScanSearchFolders(const std::vector<std::u16string>& folders, IEngineSink* sink)
{
    g_quickDigestCache.RewindListing();
    CEarlyDigests& early = CEarlyDigests::Instance();
    CEarlyStoredDigests& stored = CEarlyStoredDigests::Instance();
    early.BeginScan();
    stored.BeginScan();
    WalkState state;
    for (const std::u16string& folder : folders) {
        ScanFolderOnPath(folder, sink, state, false);
        g_fileCount = static_cast<uint32_t>(g_fileList.size());
    }
    early.EndScan();
    stored.EndScan();
    g_fileCount = static_cast<uint32_t>(g_fileList.size());
    if (sink)
        sink->SendMessage(WMU_SCANPROGRESS);
}
