#include "engine/RunDuplicates.h"

#include <algorithm>

void CRunDuplicates::Clear()
{
    m_paths.clear();
    if (!m_set.empty())
        m_set = {};
}

bool CRunDuplicates::Contains(const CPathString& path) const
{
    if (!m_set.empty())
        return m_set.count(path) != 0;
    return std::any_of(m_paths.begin(), m_paths.end(), [&](const CPathString* made) { return *made == path; });
}

void CRunDuplicates::Add(const CPathString& path)
{
    if (m_set.empty() && m_paths.size() < kLinear) {
        m_paths.push_back(&path);
        return;
    }
    if (m_set.empty())
        for (const CPathString* made : m_paths)
            m_set.insert(*made);
    m_set.insert(path);
}
