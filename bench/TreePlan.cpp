#include "bench/TreePlan.h"

#include <algorithm>
#include <unordered_map>

std::string CTreePlan::FolderPath(uint32_t folder) const
{
    std::vector<uint32_t> chain;
    for (uint32_t f = folder; f != 0; f = folders[f].parent)
        chain.push_back(f);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '/';
        path += folders[*it].name;
    }
    return path;
}

std::string CTreePlan::FilePath(uint32_t file) const
{
    const SFile& f = files[file];
    std::string path = FolderPath(f.folder);
    if (!path.empty())
        path += '/';
    return path + f.name;
}

CTreePlan::SSummary CTreePlan::Summarise() const
{
    SSummary s;
    s.folders = folders.empty() ? 0 : folders.size() - 1;
    s.files = files.size();
    std::unordered_map<uint64_t, uint64_t> filesOfSize;
    for (const SContent& c : contents) {
        const uint64_t n = c.files.size();
        s.bytes += n * c.size;
        if (c.size == 0) {
            s.emptyFiles += n;
            continue;
        }
        filesOfSize[c.size] += n;
        if (n >= 2) {
            ++s.duplicateGroups;
            s.duplicateRows += n - 1;
            s.duplicateBytes += (n - 1) * c.size;
        }
    }
    for (const auto& [size, n] : filesOfSize) {
        if (n >= 2) {
            s.sharedSizeFiles += n;
            s.sharedSizeBytes += n * size;
        }
    }
    return s;
}
