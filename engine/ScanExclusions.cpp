#include "engine/ScanExclusions.h"

#include "platform/FileSystem.h"
#include "platform/WildcardMatch.h"

const CScanExclusions* g_scanExclusions = nullptr;

void CScanExclusions::AddPattern(std::u16string_view pattern)
{
    Pattern added;
    added.foldersOnly = !pattern.empty() && pattern.back() == u'/';
    if (added.foldersOnly)
        pattern.remove_suffix(1);
    added.text = std::u16string(pattern);
    added.wholePath = added.text.find(u'/') != std::u16string::npos;
    m_patterns.push_back(std::move(added));
}

bool CScanExclusions::Excludes(std::u16string_view prefix, const DirEntry& entry) const
{
    if (!entry.isFile && !entry.isFolder)
        return false;
    if (m_hidden && !entry.name.empty() && entry.name.front() == u'.')
        return true;
    std::u16string path;
    for (const Pattern& pattern : m_patterns) {
        if (pattern.foldersOnly && !entry.isFolder)
            continue;
        if (!pattern.wholePath) {
            if (MatchSpec(entry.name, pattern.text))
                return true;
            continue;
        }
        if (path.empty())
            path.append(prefix).append(entry.name);
        if (MatchSpec(path, pattern.text))
            return true;
    }
    return false;
}
