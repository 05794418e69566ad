#pragma once
// What a search leaves out while it walks: names and paths that match wildcard patterns, and
// hidden names. An excluded file is never opened and never becomes a record; an excluded folder
// is never listed, so nothing below it is seen.
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

class CScanExclusions {
public:
    // Adds a pattern of the window's wildcard matcher (MatchSpec: '*', '?', A-Z folded, several
    // patterns separated by ';'). A pattern ending in '/' matches folders only (the '/' is not
    // part of what is matched). A pattern that holds a '/' elsewhere is matched against the whole
    // path of an entry (its folder, '/', its name); any other is matched against the name alone.
    void AddPattern(std::u16string_view pattern);
    // Leaves out every entry whose name begins with a dot.
    void ExcludeHidden() { m_hidden = true; }
    bool Empty() const { return !m_hidden && m_patterns.empty(); }

    // Whether the entry of the folder whose path is `prefix` (ending in '/') is left out: a
    // regular file or a folder (or a link to one) that a pattern or the hidden rule matches.
    // Any thread.
    bool Excludes(std::u16string_view prefix, const DirEntry& entry) const;

private:
    struct Pattern {
        std::u16string text;
        bool foldersOnly = false;
        bool wholePath = false;
    };
    std::vector<Pattern> m_patterns;
    bool m_hidden = false;
};

// The exclusions of the current search; null (the default) leaves nothing out. Set by the front
// end before a run and left alone while it runs.
extern const CScanExclusions* g_scanExclusions;

// Whether the scan leaves the entry out under g_scanExclusions. Search worker.
inline bool ScanExcludes(std::u16string_view prefix, const DirEntry& entry)
{
    return g_scanExclusions && g_scanExclusions->Excludes(prefix, entry);
}
