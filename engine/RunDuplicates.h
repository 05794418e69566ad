#pragma once
// The duplicates of one run's rows. A folder walked twice (given twice, or given together with one
// of its subfolders) lists each of its files twice; one row per path is enough, the second would
// name the same file again and double the totals. Search worker only.
#include <unordered_set>
#include <vector>

#include "platform/PathString.h"

class CRunDuplicates {
public:
    void Clear();
    bool Contains(const CPathString& path) const;
    // Adds a path, which must outlive the run.
    void Add(const CPathString& path);

private:
    static constexpr size_t kLinear = 32;  // a run's rows are searched one by one up to this many
    std::vector<const CPathString*> m_paths;
    std::unordered_set<CPathString, PathHash> m_set;
};
