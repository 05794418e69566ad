#include "engine/SameFileDigests.h"

#include <algorithm>
#include <tuple>

void CSameFileDigests::Add(const CFileRecord& record, size_t place, bool answered)
{
    if (record.identity != FileIdentity{})
        m_items.push_back(Item{KeyOf(record), place, answered});
}

void CSameFileDigests::Followers(std::vector<std::pair<size_t, size_t>>& followers)
{
    followers.clear();
    if (m_items.size() < 2)
        return;
    // Records of one file side by side, answered ones first, then in the order they were added.
    const auto order = [](const Item& item) {
        const Key& key = item.key;
        return std::make_tuple(key.identity.device, key.identity.inode, key.size, key.lastWrite, key.changeTime, !item.answered,
                               item.place);
    };
    std::sort(m_items.begin(), m_items.end(), [&](const Item& a, const Item& b) { return order(a) < order(b); });
    for (size_t first = 0; first < m_items.size();) {
        size_t next = first + 1;
        for (; next < m_items.size() && m_items[next].key == m_items[first].key; ++next)
            if (!m_items[next].answered)
                followers.emplace_back(m_items[next].place, m_items[first].place);
        first = next;
    }
}

const CSameFileDigests::Outcome* CSameFileDigests::Find(const CFileRecord& record) const
{
    if (record.identity == FileIdentity{} || m_shared.empty())
        return nullptr;
    const auto found = m_shared.find(KeyOf(record));
    return found == m_shared.end() ? nullptr : &found->second;
}

void CSameFileDigests::Learn(const CFileRecord& record, const Outcome& outcome)
{
    if (record.identity != FileIdentity{})
        m_shared.insert_or_assign(KeyOf(record), outcome);
}

bool CListedFiles::Insert(const FileIdentity& identity)
{
    if (identity == FileIdentity{})
        return true;
    if (2 * (m_used + 1) > m_slots.size()) {
        std::vector<FileIdentity> old(std::max<size_t>(1024, 2 * m_slots.size()));
        old.swap(m_slots);
        m_used = 0;
        for (const FileIdentity& kept : old)
            if (kept != FileIdentity{})
                Insert(kept);
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = ((identity.inode ^ identity.device * 0x2545f4914f6cdd1dull) * 0x9e3779b97f4a7c15ull) >> 20 & mask;;
         slot = (slot + 1) & mask) {
        if (m_slots[slot] == identity)
            return false;
        if (m_slots[slot] == FileIdentity{}) {
            m_slots[slot] = identity;
            ++m_used;
            return true;
        }
    }
}
