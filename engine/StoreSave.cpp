#include "engine/StoreSave.h"

#include <algorithm>

#include "engine/LearnedNames.h"
#include "engine/RowWriter.h"

namespace {

// A row takes the folders that follow in byte order while its sections and key stay within this
// many bytes: SQLite's cost is mostly per row, and such a row fills most of a page of 16 KiB (a
// folder that takes more has a row of its own).
constexpr size_t kRowBytes = 15 * 1024;

// Asks the processor to fetch a record, which may lie across two cache lines.
void PrefetchRecord(const CFileRecord* record)
{
    __builtin_prefetch(record);
    __builtin_prefetch(reinterpret_cast<const char*>(record) + sizeof(CFileRecord) - 1);
}

}  // namespace

CStoreSave::CStoreSave(const std::vector<Learned>& learned, CFolderGroups<Learned>& groups, const CLearnedNames& names,
                       UsedEntries& used, int64_t today, int64_t oldest)
    : m_learned(learned), m_groups(groups), m_names(names), m_used(used), m_today(today), m_oldest(oldest)
{
    for (const auto& group : groups.Groups())
        m_folders.push_back(group.folder);
    for (auto& [folder, uses] : m_used) {
        m_folders.push_back(folder);
        std::sort(uses.begin(), uses.end());
    }
    if (!m_used.empty()) {
        std::sort(m_folders.begin(), m_folders.end());
        m_folders.erase(std::unique(m_folders.begin(), m_folders.end()), m_folders.end());
    }
}

bool CStoreSave::WritePlace(const Place& place, CRowWriter& rows)
{
    if (!place.stored)
        m_sections.clear();
    else if (!ParseSections(place.key, place.blob, m_sections))
        return false;
    Row row;
    size_t s = 0;
    size_t index = place.first;
    while (s < m_sections.size() || index < place.last) {
        const bool fromStore = s < m_sections.size() && (index == place.last || m_sections[s].folder <= m_folders[index]);
        const std::string_view folder = fromStore ? m_sections[s].folder : m_folders[index];
        const std::string_view storedEntries = fromStore ? m_sections[s++].entries : std::string_view();
        if (index < place.last && m_folders[index] == folder)
            ++index;
        if (!WriteFolder(folder, storedEntries, place, row, rows))
            return false;
    }
    EndRow(place, row, rows);
    if (place.stored && !row.keyKept)
        rows.Remove(place.key);
    return true;
}

// Appends the folder's section to the row, or begins the next row with it when the row is full.
bool CStoreSave::WriteFolder(std::string_view folder, std::string_view storedEntries, const Place& place, Row& row,
                             CRowWriter& rows)
{
    const auto& groups = m_groups.Groups();
    while (m_group < groups.size() && groups[m_group].folder < folder)
        ++m_group;
    const bool learnedHere = m_group < groups.size() && groups[m_group].folder == folder;
    if (learnedHere && m_group + 2 < groups.size())
        PrefetchGroup(m_group + 2);
    const size_t start = BeginSection(row.blob, folder);
    int64_t use = m_today;
    if (learnedHere && storedEntries.empty() && groups[m_group].oneListing)
        WriteLearned(m_group, row.blob);
    else if (!MergeFolder(folder, storedEntries, learnedHere ? m_group : SIZE_MAX, row.blob, use))
        return false;
    if (!EndSection(row.blob, start))
        return true;  // nothing left of the folder
    if (start == 0) {
        row.key = folder;
    } else if (row.key.size() + row.blob.size() > kRowBytes) {
        std::string section = row.blob.substr(start);
        row.blob.resize(start);
        EndRow(place, row, rows);
        row.blob = std::move(section);
        row.key = folder;
    }
    row.lastUse = std::max(row.lastUse, use);
    return true;
}

void CStoreSave::EndRow(const Place& place, Row& row, CRowWriter& rows) const
{
    if (row.blob.empty())
        return;
    row.keyKept = row.keyKept || (place.stored && row.key == place.key);
    rows.Add(row.key, std::move(row.blob), row.lastUse);
    row.blob = std::string();
    row.lastUse = 0;
}

// For each name and kind: the digest learned, else the one stored (marked used today when it was
// loaded, dropped when unused for too long). Two digests of one state share an entry.
bool CStoreSave::MergeFolder(std::string_view folder, std::string_view storedEntries, size_t group, std::string& blob,
                             int64_t& lastUse)
{
    if (!ParseEntries(storedEntries, m_entries))
        return false;
    const auto usesFound = m_used.empty() ? m_used.end() : m_used.find(std::string(folder));
    const auto* uses = usesFound != m_used.end() ? &usesFound->second : nullptr;
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const StoredEntry& a, const StoredEntry& b) { return a.name < b.name; });
    m_merged.clear();
    auto entry = m_entries.cbegin();
    auto [member, membersEnd] = group != SIZE_MAX ? m_groups.MembersOf(group) : CFolderGroups<Learned>::Members{};
    while (entry != m_entries.cend() || member != membersEnd) {
        std::string_view name = entry != m_entries.cend() ? entry->name : member->name;
        if (member != membersEnd && member->name < name)
            name = member->name;
        StoredEntry byKind[2];
        entry = TakeStored(entry, name, uses, byKind);
        member = TakeLearned(member, membersEnd, name, byKind);
        if (byKind[0].has[0] && byKind[1].has[1] && byKind[0].state == byKind[1].state) {
            byKind[0].has[1] = true;
            byKind[0].digest[1] = byKind[1].digest[1];
            byKind[0].strong = byKind[1].strong;
            byKind[0].used = std::max(byKind[0].used, byKind[1].used);
            byKind[1].has[1] = false;
        }
        if (name.empty())
            continue;  // not the path of a file
        for (const StoredEntry& kept : byKind)
            if (kept.has[0] || kept.has[1])
                m_merged.push_back(kept);
    }
    lastUse = 0;
    for (const StoredEntry& kept : m_merged) {
        AppendEntry(blob, kept);
        lastUse = std::max(lastUse, kept.used);
    }
    return true;
}

// The stored digests of the entries named `name`, from `entry` on, by kind; returns the entry
// after them.
std::vector<StoredEntry>::const_iterator CStoreSave::TakeStored(std::vector<StoredEntry>::const_iterator entry,
                                                                std::string_view name,
                                                                const std::vector<std::pair<int, std::string>>* uses,
                                                                StoredEntry (&byKind)[2]) const
{
    for (; entry != m_entries.cend() && entry->name == name; ++entry) {
        for (int kind = 0; kind < 2; ++kind) {
            if (!entry->has[kind])
                continue;
            StoredEntry& kept = byKind[kind];
            kept = *entry;
            kept.has[0] = kept.has[1] = false;
            kept.has[kind] = true;
            if (uses && std::binary_search(uses->begin(), uses->end(), std::pair<int, std::string>(kind, name)))
                kept.used = m_today;
            if (kept.used < m_oldest)
                kept.has[kind] = false;
        }
    }
    return entry;
}

// The learned digests of the files named `name`, from `member` on, by kind, over what was stored;
// returns the member after them.
CFolderGroups<CStoreSave::Learned>::MemberIterator CStoreSave::TakeLearned(CFolderGroups<Learned>::MemberIterator member,
                                                                           CFolderGroups<Learned>::MemberIterator end,
                                                                           std::string_view name, StoredEntry (&byKind)[2]) const
{
    for (; member != end && member->name == name; ++member) {
        for (int kind = 0; kind < 2; ++kind) {
            const CFileRecord* const learned = m_learned[member->index].entry[kind];
            if (!learned)
                continue;
            StoredEntry& made = byKind[kind];
            made = StoredEntry{};
            made.name = name;
            made.state = learned->State();
            made.used = m_today;
            made.has[kind] = true;
            made.digest[kind] = learned->digest;
            made.strong = learned->strong;
        }
    }
    return member;
}

void CStoreSave::WriteLearned(size_t group, std::string& blob) const
{
    const auto [first, last] = m_groups.Unnamed(group);
    for (auto member = first; member != last; ++member) {
        const std::string_view name = m_names[member->index];
        const auto& [quick, full] = m_learned[member->index].entry;
        if (name.empty())
            continue;  // not the path of a file
        if (quick && full && !(quick->State() == full->State())) {
            // Digests of two states: an entry each.
            AppendEntry(blob, name, quick->State(), m_today, &quick->digest, nullptr, nullptr);
            AppendEntry(blob, name, full->State(), m_today, nullptr, &full->digest, &full->strong);
        } else {
            const CFileRecord& state = quick ? *quick : *full;
            AppendEntry(blob, name, state.State(), m_today, quick ? &quick->digest : nullptr, full ? &full->digest : nullptr,
                        full ? &full->strong : nullptr);
        }
    }
}

void CStoreSave::PrefetchGroup(size_t group) const
{
    const auto [first, last] = m_groups.Unnamed(group);
    for (auto member = first; member != last; ++member)
        for (const CFileRecord* entry : m_learned[member->index].entry)
            if (entry)
                PrefetchRecord(entry);
}
