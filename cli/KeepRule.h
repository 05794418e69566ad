#pragma once
// Which file of a set of identical files stays when the others are acted on (--keep RULE).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/DuplicateSets.h"

class CKeepRule {
public:
    enum class Kind {
        First,     // the set's original (the first file of the set)
        Newest,    // the latest last-write time
        Oldest,    // the earliest last-write time
        Shortest,  // the shortest path
        InFolder,  // a file below the folder
    };

    // A rule from its text: "first", "newest", "oldest", "shortest" or "in=FOLDER" (FOLDER made
    // absolute against `base` and resolved as the system resolves it where it exists, the way
    // search folders are). Empty, with `problem` set, for any other text.
    static std::optional<CKeepRule> Parse(std::string_view text, const std::u16string& base, std::string& problem);

    Kind kind() const { return m_kind; }
    // The folder of an InFolder rule, absolute, without a trailing separator (but the root).
    const std::u16string& Folder() const { return m_folder; }

    // The place in `set` of the file that stays: each rule in turn keeps the best of the files the
    // rules before it kept (an InFolder rule those below its folder), and the first of the files
    // left stays. Empty when an InFolder rule finds none of those files below its folder: the set is
    // then left alone, and `emptied` (when given) points to that rule. Any thread.
    static std::optional<size_t> Choose(const DuplicateSet& set, const std::vector<CKeepRule>& rules,
                                        const CKeepRule** emptied = nullptr);

    // Whether the path lies below the folder of an InFolder rule.
    bool Holds(std::u16string_view path) const;

private:
    Kind m_kind = Kind::First;  // a rule made without Parse is "first"
    std::u16string m_folder;
};
