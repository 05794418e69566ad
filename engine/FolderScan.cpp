#include "engine/FolderScan.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/EngineSink.h"
#include "engine/ScanCompanion.h"
#include "engine/ScanExclusions.h"
#include "platform/PathRules.h"

namespace {

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

}  // namespace

void SetSizeBounds(uint64_t sizeFromKB, uint64_t sizeToKB)
{
    g_minSize = sizeFromKB << 10;
    g_maxSize = sizeToKB << 10;
    if (g_maxSize == 0)
        g_maxSize = std::numeric_limits<uint64_t>::max();
}

CFolderScan::CFolderScan(IEngineSink* sink, IScanCompanion* companion) : m_sink(sink), m_companion(companion)
{
    // A walk that begins a listing meets an unchanged tree's files in the last listing's order.
    if (g_fileList.empty())
        g_quickDigestCache.RewindListing();
}

void CFolderScan::Walk(const std::u16string& folder)
{
    WalkFolder(folder, false);
}

void CFolderScan::WalkLinkedFolders()
{
    m_walkingLinks = true;
    for (size_t next = 0; next < m_linked.size() && !StopRequested(); ++next)
        WalkFolder(m_linked[next], true);
    m_walkingLinks = false;
    m_linked.clear();
    m_aside.clear();
}

void CFolderScan::PutLinkAside(const DirEntry& link, const std::u16string& prefix)
{
    if (link.onPseudoFileSystem)
        return;
    if (link.identity != FileIdentity{} && (m_walked.count(link.identity) || !m_aside.insert(link.identity).second))
        return;  // walked already, or put aside already through another link
    m_linked.push_back(prefix + link.name);
}

void CFolderScan::AddRecord(const DirEntry& entry, const std::u16string& prefix, uint32_t folderNumber)
{
    CFileRecord& record = g_fileList.emplace_back();
    record.path = g_quickDigestCache.ListedPath(prefix, entry.name);
    record.size = entry.size;
    record.lastWrite = entry.lastWrite;
    record.changeTime = entry.changeTime;
    record.identity = entry.identity;
    record.folder = folderNumber;
    if (m_companion)
        m_companion->Listed(g_fileList.size() - 1);
}

void CFolderScan::WalkFolder(const std::u16string& folder, bool throughLink)
{
    if (m_sink)
        m_sink->SendMessage(WMU_SCANPROGRESS);
    auto listing = g_fileSystem->OpenFolder(folder);
    if (!listing)
        return;
    const FileIdentity self = listing->Identity();
    if (std::find(m_path.begin(), m_path.end(), self) != m_path.end())
        return;  // reached again through a link to one of its own parents
    if (!m_walked.insert(self).second && (throughLink || m_walkingLinks))
        return;  // walked already: reached through a link, it adds nothing
    m_path.push_back(self);
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
        if (ScanExcludes(prefix, entry))
            continue;
        if (entry.isFile && InRange(entry.size)) {
            AddRecord(entry, prefix, folderNumber);
        } else if (entry.isFolder && entry.isLink) {
            PutLinkAside(entry, prefix);
        } else if (entry.isFolder) {
            if (open && m_path.size() > kOpenLevels) {
                for (DirEntry later; open->Next(later);)
                    rest.push_back(std::move(later));
                open.reset();
            }
            WalkFolder(prefix + entry.name, false);
            if (StopRequested())
                break;
        }
    }
    m_path.pop_back();
}

void ScanSearchFolders(const std::vector<std::u16string>& folders, IEngineSink* sink, IScanCompanion* companion)
{
    CFolderScan scan(sink, companion);
    for (const std::u16string& folder : folders) {
        scan.Walk(folder);
        g_fileCount = static_cast<uint32_t>(g_fileList.size());
    }
    scan.WalkLinkedFolders();
    if (companion)
        companion->EndScan();
    g_fileCount = static_cast<uint32_t>(g_fileList.size());
    if (sink)
        sink->SendMessage(WMU_SCANPROGRESS);
}
