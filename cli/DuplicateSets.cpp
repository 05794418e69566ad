#include "cli/DuplicateSets.h"

#include <unordered_map>

std::vector<DuplicateSet> CollectDuplicateSets(const std::vector<CDuplicatePair>& rows, const FileList& files)
{
    std::vector<DuplicateSet> sets;
    // Each path: its set and its place there.
    std::unordered_map<CPathString, std::pair<size_t, size_t>, PathHash> where;
    where.reserve(rows.size() * 2);
    for (const CDuplicatePair& row : rows) {
        const auto [original, isNew] = where.emplace(row.originalPath, std::pair<size_t, size_t>(sets.size(), 0));
        if (isNew) {
            DuplicateSet& set = sets.emplace_back();
            set.size = row.size;
            set.files.push_back({row.originalPath, false, {}});
        }
        DuplicateSet& set = sets[original->second.first];
        if (where.emplace(row.duplicatePath, std::pair<size_t, size_t>(original->second.first, set.files.size())).second)
            set.files.push_back({row.duplicatePath, false, {}});
    }
    for (const CFileRecord& record : files) {
        const auto found = where.find(record.path);
        if (found == where.end())
            continue;
        SetFile& file = sets[found->second.first].files[found->second.second];
        file.known = true;
        file.seen = {record.size, record.lastWrite, record.changeTime, record.identity};
    }
    return sets;
}
