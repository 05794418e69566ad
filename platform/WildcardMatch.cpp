#include "platform/WildcardMatch.h"

#include "platform/Utf16Text.h"

namespace {

// Iterative glob match with backtracking to the last '*': linear in practice, never exponential.
bool MatchOne(std::u16string_view text, std::u16string_view pattern)
{
    size_t t = 0, p = 0;
    size_t starP = std::u16string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || LowerAZ(pattern[p]) == LowerAZ(text[t]))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starT = t;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

}  // namespace

bool MatchSpec(std::u16string_view path, std::u16string_view patterns)
{
    while (!patterns.empty()) {
        const size_t semicolon = patterns.find(u';');
        std::u16string_view pattern = patterns.substr(0, semicolon);
        patterns = semicolon == std::u16string_view::npos ? std::u16string_view() : patterns.substr(semicolon + 1);
        while (!pattern.empty() && pattern.front() == u' ')
            pattern.remove_prefix(1);
        if (pattern.empty())
            continue;
        if (pattern == u"*.*" || MatchOne(path, pattern))
            return true;
    }
    return false;
}
