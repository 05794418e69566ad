#include "engine/FolderCounts.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/Catalogue.h"
#include "platform/PathRules.h"

CFolderCounts::CFolderCounts(const FileList& records)
{
    const CFolderNumbers numbers(records);
    if (numbers.Dense()) {
        m_base = numbers.Low();
        m_byListing.resize(numbers.Span());
    }
}

void CFolderCounts::Add(const CFileRecord& record)
{
    const uint32_t place = record.folder - m_base;
    if (record.folder == 0 || place >= m_byListing.size()) {
        ++m_byText[FolderViewOfPath(record.path)];
        return;
    }
    Count& count = m_byListing[place];
    if (count.appearances++ == 0)
        count.folder = FolderViewOfPath(record.path);
}

void CFolderCounts::AddToTally() const
{
    // A folder walked twice has two listings: equal texts are merged after sorting.
    std::vector<std::pair<std::u16string_view, uint32_t>> counts(m_byText.begin(), m_byText.end());
    for (const Count& count : m_byListing)
        if (count.appearances != 0)
            counts.emplace_back(count.folder, count.appearances);
    std::sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return CodeUnitLess()(a.first, b.first); });
    for (auto count = counts.begin(); count != counts.end();) {
        uint32_t appearances = 0;
        auto next = count;
        for (; next != counts.end() && next->first == count->first; ++next)
            appearances += next->second;
        // In ascending order each new folder goes at the end: no lookup from the root.
        const size_t before = g_folderTally.size();
        const auto entry = g_folderTally.try_emplace(g_folderTally.end(), std::u16string(count->first), appearances);
        if (g_folderTally.size() == before)
            entry->second += appearances;
        count = next;
    }
}
