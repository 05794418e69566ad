#include "engine/DigestCache.h"

#include <tuple>
#include <utility>

namespace {

bool NamesPath(const CPathString& path, std::u16string_view prefix, std::u16string_view name)
{
    const std::u16string_view text = path.view();
    return text.size() == prefix.size() + name.size() && text.substr(prefix.size()) == name &&
        text.substr(0, prefix.size()) == prefix;
}

}  // namespace

CPathString CDigestCache::ListedPath(std::u16string_view prefix, std::u16string_view name)
{
    for (size_t ahead = 0; ahead < 2 && m_walked + ahead < m_listed.size(); ++ahead) {
        const CPathString& listed = m_listed[m_walked + ahead].path;
        if (NamesPath(listed, prefix, name)) {
            m_walked += ahead + 1;  // a file listed at m_walked is gone when ahead is 1
            return listed;
        }
    }
    return CPathString::Concat(prefix, name);
}

void CDigestCache::BeginListing(size_t records)
{
    // Entries learned and not taken yet keep their paths: their places go with the listing.
    for (size_t word = 0; word < m_learned.size(); ++word)
        for (uint64_t bits = m_learned[word]; bits != 0; bits &= bits - 1)
            m_learnedElsewhere.push_back(m_listed[word * 64 + static_cast<size_t>(__builtin_ctzll(bits))].path);
    m_learned.clear();
    m_previous = std::move(m_listed);
    m_listed.clear();
    m_folderRuns.clear();
    m_listed.reserve(records);
    Reserve(records);  // a first search inserts about as many entries
    m_next = 0;
}

void CDigestCache::MatchNext(CFileRecord& record)
{
    Slot* match = nullptr;
    if (m_next < m_previous.size() && m_previous[m_next].path == record.path) {
        match = &m_previous[m_next];
        m_next += 1;
    } else if (m_next + 1 < m_previous.size() && m_previous[m_next + 1].path == record.path) {
        match = &m_previous[m_next + 1];  // the file listed at m_next is gone
        m_next += 2;
    }
    // The entry is kept without a look at it (Listed checks that it fits when it is asked for): most
    // records are never asked for, and the entries lie scattered in memory. A matched place moves
    // to the new listing with its share of the text.
    if (m_folderRuns.empty() || m_folderRuns.back().second != record.folder)
        m_folderRuns.emplace_back(static_cast<uint32_t>(m_listed.size()), record.folder);
    if (match) {
        record.path = match->path;
        m_listed.push_back(Slot{std::move(match->path), match->entry});
    } else {
        m_listed.push_back(Slot{record.path});
    }
}

void CDigestCache::EndListing()
{
    m_previous = decltype(m_previous)();
}

const CDigestCache::Slot* CDigestCache::SlotOf(const CFileRecord& record) const
{
    if (record.listPosition >= m_listed.size())
        return nullptr;
    const Slot& slot = m_listed[record.listPosition];
    return slot.path == record.path ? &slot : nullptr;
}

const CFileRecord* CDigestCache::Listed(const CFileRecord& record) const
{
    const Slot* slot = SlotOf(record);
    const CFileRecord* entry = slot ? slot->entry : nullptr;
    return entry && Fits(*entry, record) ? entry : nullptr;
}

void CDigestCache::NoteListed(const CFileRecord& record, const CFileRecord& entry)
{
    if (SlotOf(record))
        m_listed[record.listPosition].entry = &entry;
}

void CDigestCache::NoteLearned(const CFileRecord& record, const CFileRecord& entry)
{
    const Slot* slot = SlotOf(record);
    if (!slot || slot->entry != &entry) {
        m_learnedElsewhere.push_back(entry.path);
        return;
    }
    if (m_learned.empty())
        m_learned.resize((m_listed.size() + 63) / 64);
    m_learned[record.listPosition / 64] |= uint64_t{1} << (record.listPosition % 64);
}

std::vector<CDigestCache::Learned> CDigestCache::TakeLearned()
{
    std::vector<Learned> learned;
    size_t count = m_learnedElsewhere.size();
    for (const uint64_t bits : m_learned)
        count += static_cast<size_t>(__builtin_popcountll(bits));
    learned.reserve(count);
    size_t run = 0;  // of m_folderRuns, for the places in increasing order
    for (size_t word = 0; word < m_learned.size(); ++word) {
        for (uint64_t bits = m_learned[word]; bits != 0; bits &= bits - 1) {
            const size_t place = word * 64 + static_cast<size_t>(__builtin_ctzll(bits));
            const Slot& slot = m_listed[place];
            // The entry noted at its place is the one learned, unless the places forgot their
            // entries since (an entry was removed): then the path finds what is left of it.
            const CFileRecord* entry = slot.entry;
            if (!entry)
                entry = Find(slot.path);
            while (run + 1 < m_folderRuns.size() && m_folderRuns[run + 1].first <= place)
                ++run;
            const uint32_t folder = run < m_folderRuns.size() ? m_folderRuns[run].second : 0;
            if (entry)
                learned.push_back(Learned{static_cast<uint32_t>(place), folder, &slot.path, entry});
        }
    }
    for (const CPathString& path : m_learnedElsewhere) {
        const auto found = m_entries.find(path);
        if (found != m_entries.end())
            learned.push_back(Learned{Learned::kElsewhere, found->second.folder, &found->first, &found->second});
    }
    m_learned.clear();
    m_learnedElsewhere.clear();
    return learned;
}

bool CDigestCache::Hold(std::vector<std::vector<CFileRecord>>&& entries)
{
    if (!empty())
        return false;
    m_held = std::move(entries);
    for (const std::vector<CFileRecord>& part : m_held) {
        m_heldCount += part.size();
        for (const CFileRecord& entry : part)
            NoteListed(entry, entry);
    }
    return true;
}

CDigestCache::Kept CDigestCache::KeepComputed(const CFileRecord& listed, const Md5Digest* digest, const StrongDigest& strong)
{
    auto slot = m_entries.end();
    bool made = false;
    if (digest)
        std::tie(slot, made) = m_entries.try_emplace(listed.path);
    else
        slot = m_entries.find(listed.path);
    if (slot != m_entries.end() && !made && Fits(slot->second, listed))
        return {&slot->second, false};
    if (!digest) {
        if (slot != m_entries.end()) {
            ForgetEntries();
            m_entries.erase(slot);
        }
        return {};
    }
    slot->second = listed;
    slot->second.digest = *digest;
    slot->second.strong = strong;
    return {&slot->second, true};
}

void CDigestCache::Remove(const CPathString& path)
{
    const auto found = m_entries.find(path);
    if (found == m_entries.end())
        return;
    ForgetEntries();
    m_entries.erase(found);
}

void CDigestCache::ForgetEntries()
{
    m_held = decltype(m_held)();
    m_heldCount = 0;
    for (Slot& slot : m_listed)
        slot.entry = nullptr;
    for (Slot& slot : m_previous)
        slot.entry = nullptr;
}
