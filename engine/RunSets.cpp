#include "engine/RunSets.h"

#include <algorithm>

const CFileRecord* CRunSets::OriginalFor(const CFileRecord& full, const CFileRecord& record)
{
    for (const Set& set : m_sets)
        if (set.full == full.digest && set.strong == full.strong)
            return set.original;
    m_sets.push_back(Set{full.digest, full.strong, &record});
    return nullptr;
}

bool CRunSets::NamesAnOriginal(const CFileRecord& record) const
{
    return std::any_of(m_sets.begin(), m_sets.end(), [&](const Set& set) { return SameFile(*set.original, record); });
}
