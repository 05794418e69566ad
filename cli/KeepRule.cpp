#include "cli/KeepRule.h"

#include <cstdlib>
#include <memory>

#include "platform/NativeName.h"
#include "platform/PathRules.h"

std::optional<CKeepRule> CKeepRule::Parse(std::string_view text, const std::u16string& base, std::string& problem)
{
    static const std::pair<std::string_view, Kind> kNames[] = {
        {"first", Kind::First}, {"newest", Kind::Newest}, {"oldest", Kind::Oldest}, {"shortest", Kind::Shortest}};
    CKeepRule rule;
    for (const auto& [name, kind] : kNames) {
        if (text == name) {
            rule.m_kind = kind;
            return rule;
        }
    }
    if (text.rfind("in=", 0) != 0 || text.size() == 3) {
        problem = "takes first, newest, oldest, shortest or in=FOLDER";
        return std::nullopt;
    }
    const std::string folder(text.substr(3));
    rule.m_kind = Kind::InFolder;
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(folder.c_str(), nullptr), &std::free);
    rule.m_folder = resolved ? DecodeNativeName(resolved.get()) : AbsoluteFolder(DecodeNativeName(folder), base);
    if (rule.m_folder.empty()) {
        problem = "cannot make the folder of in=FOLDER absolute";
        return std::nullopt;
    }
    while (rule.m_folder.size() > 1 && rule.m_folder.back() == u'/')
        rule.m_folder.pop_back();
    return rule;
}

bool CKeepRule::Holds(std::u16string_view path) const
{
    if (m_folder == u"/")
        return true;
    return path.size() > m_folder.size() && path[m_folder.size()] == u'/' && path.substr(0, m_folder.size()) == m_folder;
}

std::optional<size_t> CKeepRule::Choose(const DuplicateSet& set, const std::vector<CKeepRule>& rules, const CKeepRule** emptied)
{
    std::vector<size_t> left(set.files.size());
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = i;
    for (const CKeepRule& rule : rules) {
        if (left.size() <= 1 && rule.m_kind != Kind::InFolder)
            break;
        std::vector<size_t> kept;
        const auto keepBest = [&](auto better) {
            for (const size_t i : left) {
                const int order = kept.empty() ? 0 : better(set.files[i], set.files[kept.front()]);
                if (order < 0)
                    continue;
                if (order > 0)
                    kept.clear();
                kept.push_back(i);
            }
        };
        switch (rule.m_kind) {
        case Kind::First:
            kept.push_back(left.front());
            break;
        case Kind::Newest:
        case Kind::Oldest: {
            const int sign = rule.m_kind == Kind::Newest ? 1 : -1;
            keepBest([sign](const SetFile& a, const SetFile& b) {
                return a.seen.lastWrite == b.seen.lastWrite ? 0 : (a.seen.lastWrite > b.seen.lastWrite ? sign : -sign);
            });
            break;
        }
        case Kind::Shortest:
            keepBest([](const SetFile& a, const SetFile& b) {
                return a.path.size() == b.path.size() ? 0 : (a.path.size() < b.path.size() ? 1 : -1);
            });
            break;
        case Kind::InFolder:
            for (const size_t i : left) {
                if (rule.Holds(set.files[i].path))
                    kept.push_back(i);
            }
            if (kept.empty()) {
                if (emptied)
                    *emptied = &rule;
                return std::nullopt;
            }
            break;
        }
        left = std::move(kept);
    }
    return left.front();
}
