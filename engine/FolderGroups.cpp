#include "engine/FolderGroups.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "engine/LearnedNames.h"
#include "engine/StoreCodec.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"

namespace {

// The path and folder listing of a file wanted or learned.
std::u16string_view PathOf(const IDigestStore::Wanted& file)
{
    return file.path;
}
std::u16string_view PathOf(const IDigestStore::Learned& file)
{
    return file.path->view();
}
// Asks the processor to fetch the start of a file's path.
void PrefetchPath(const IDigestStore::Wanted& file)
{
    __builtin_prefetch(file.path.data());
    __builtin_prefetch(file.path.data() + 32);
}
void PrefetchPath(const IDigestStore::Learned& file)
{
    file.path->Prefetch();
}

}  // namespace

template <typename File>
CFolderGroups<File>::CFolderGroups(const std::vector<File>& files) : m_files(files)
{
    std::vector<uint32_t> groupOf(files.size());
    std::vector<Group> groups = GroupByListing(groupOf);
    OrderByFolder(groups, groupOf);
}

template <typename File>
std::vector<typename CFolderGroups<File>::Group> CFolderGroups<File>::GroupByListing(std::vector<uint32_t>& groupOf) const
{
    const std::vector<File>& files = m_files;
    const CFolderNumbers numbers(files);
    const bool numbered = numbers.Dense();
    const uint32_t low = numbers.Low();
    std::vector<uint32_t> byNumber(numbers.Span());            // group + 1 by number - low
    std::unordered_map<uint32_t, uint32_t> numberedElsewhere;  // numbers too spread for it
    std::unordered_map<std::u16string_view, uint32_t> byText;
    std::vector<Group> groups;
    for (size_t i = 0; i < files.size(); ++i) {
        const File& file = files[i];
        if (i + 8 < files.size()) {
            // The folder of a file that begins a group is read: the texts lie scattered.
            PrefetchPath(files[i + 8]);
        }
        uint32_t group = 0;
        if (file.folder == 0) {
            const auto [place, added] = byText.try_emplace(SectionFolderOf(PathOf(file)), static_cast<uint32_t>(groups.size()));
            if (added) {
                groups.emplace_back(EncodeNativeName(place->first));
                groups.back().oneListing = false;
            }
            group = place->second;
        } else {
            uint32_t* slot = numbered ? &byNumber[file.folder - low] : &numberedElsewhere[file.folder];
            if (*slot == 0) {
                groups.emplace_back(EncodeNativeName(SectionFolderOf(PathOf(file))));
                *slot = static_cast<uint32_t>(groups.size());
            }
            group = *slot - 1;
        }
        groupOf[i] = group;
        ++groups[group].count;
    }
    return groups;
}

template <typename File>
void CFolderGroups<File>::OrderByFolder(std::vector<Group>& groups, const std::vector<uint32_t>& groupOf)
{
    std::vector<uint32_t> order(groups.size());
    for (uint32_t g = 0; g < order.size(); ++g)
        order[g] = g;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return groups[a].folder < groups[b].folder; });
    std::vector<uint32_t> finalOf(groups.size());
    for (const uint32_t g : order) {
        if (m_groups.empty() || m_groups.back().folder != groups[g].folder) {
            m_groups.emplace_back(std::move(groups[g].folder));
            m_groups.back().oneListing = groups[g].oneListing;
        } else {
            m_groups.back().oneListing = false;
        }
        finalOf[g] = static_cast<uint32_t>(m_groups.size() - 1);
        m_groups.back().count += groups[g].count;
    }
    size_t first = 0;
    for (Group& group : m_groups) {
        group.first = first;
        first += group.count;
        group.count = 0;
    }
    m_members.resize(groupOf.size());
    for (size_t i = 0; i < groupOf.size(); ++i) {
        Group& group = m_groups[finalOf[groupOf[i]]];
        m_members[group.first + group.count++].index = i;
    }
}

template <typename File>
typename CFolderGroups<File>::Members CFolderGroups<File>::Unnamed(size_t index) const
{
    const auto first = m_members.begin() + static_cast<std::ptrdiff_t>(m_groups[index].first);
    return {first, first + static_cast<std::ptrdiff_t>(m_groups[index].count)};
}

template <typename File>
typename CFolderGroups<File>::Members CFolderGroups<File>::MembersOf(size_t index)
{
    Group& group = m_groups[index];
    const auto [first, last] = Range(index);
    if (group.named)
        return {first, last};
    if (m_names) {
        for (auto member = first; member != last; ++member)
            member->name = (*m_names)[member->index];
    } else {
        std::vector<size_t> ends;
        ends.reserve(group.count);
        for (auto member = first; member != last; ++member) {
            AppendEncodedNativeName(group.names, NameViewOfPath(PathOf(m_files[member->index])));
            ends.push_back(group.names.size());
        }
        size_t start = 0;
        for (size_t k = 0; k < group.count; ++k) {
            first[static_cast<std::ptrdiff_t>(k)].name = std::string_view(group.names).substr(start, ends[k] - start);
            start = ends[k];
        }
    }
    std::sort(first, last,
              [](const Member& a, const Member& b) { return std::tie(a.name, a.index) < std::tie(b.name, b.index); });
    group.named = true;
    return {first, last};
}

template <typename File>
typename CFolderGroups<File>::Members CFolderGroups<File>::Named(size_t index, std::string_view name)
{
    const auto [begin, end] = MembersOf(index);
    const auto first =
        std::lower_bound(begin, end, name, [](const Member& member, std::string_view key) { return member.name < key; });
    auto last = first;
    while (last != end && last->name == name)
        ++last;
    return {first, last};
}

template <typename File>
std::pair<typename std::vector<typename CFolderGroups<File>::Member>::iterator,
          typename std::vector<typename CFolderGroups<File>::Member>::iterator>
CFolderGroups<File>::Range(size_t index)
{
    const auto first = m_members.begin() + static_cast<std::ptrdiff_t>(m_groups[index].first);
    return {first, first + static_cast<std::ptrdiff_t>(m_groups[index].count)};
}

template class CFolderGroups<IDigestStore::Wanted>;
template class CFolderGroups<IDigestStore::Learned>;
