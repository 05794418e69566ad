#include "engine/DigestCache.h"

#include <utility>

#include "engine/Digest.h"

void CDigestCache::BeginListing(size_t records)
{
    m_previous = std::move(m_listed);
    m_listed.clear();
    m_listed.reserve(records);
    m_next = 0;
}

void CDigestCache::MatchNext(CFileRecord& record)
{
    Slot* match = nullptr;
    if (m_next < m_previous.size() && m_previous[m_next].entry.path == record.path) {
        match = &m_previous[m_next];
        m_next += 1;
    } else if (m_next + 1 < m_previous.size() && m_previous[m_next + 1].entry.path == record.path) {
        match = &m_previous[m_next + 1];  // the file listed at m_next is gone
        m_next += 2;
    }
    if (match)
        record.path = match->entry.path;
    if (match && match->known && CachedDigestFits(match->entry, record))
        m_listed.push_back(std::move(*match));
    else
        m_listed.push_back(Slot{record, false});
}

void CDigestCache::EndListing()
{
    m_previous = {};
}

const CDigestCache::Slot* CDigestCache::SlotOf(const CFileRecord& record) const
{
    if (record.listPosition >= m_listed.size())
        return nullptr;
    const Slot& slot = m_listed[record.listPosition];
    return slot.entry.path == record.path ? &slot : nullptr;
}

const CFileRecord* CDigestCache::Listed(const CFileRecord& record) const
{
    const Slot* slot = SlotOf(record);
    return slot && slot->known && CachedDigestFits(slot->entry, record) ? &slot->entry : nullptr;
}

void CDigestCache::NoteListed(const CFileRecord& record, const CFileRecord& entry)
{
    if (SlotOf(record) && CachedDigestFits(entry, record))
        m_listed[record.listPosition] = Slot{entry, true};
}
