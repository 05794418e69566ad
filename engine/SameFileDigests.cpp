#include "engine/SameFileDigests.h"

const CSameFileDigests::Outcome* CSameFileDigests::Find(const CFileRecord& record) const
{
    if (record.identity == FileIdentity{} || m_read.empty())
        return nullptr;
    const auto found = m_read.find(KeyOf(record));
    return found == m_read.end() ? nullptr : &found->second;
}

void CSameFileDigests::Learn(const CFileRecord& record, const Outcome& outcome)
{
    if (record.identity != FileIdentity{})
        m_read.insert_or_assign(KeyOf(record), outcome);
}

size_t CSameFileDigests::Lead(const CFileRecord& record, size_t place)
{
    if (record.identity == FileIdentity{})
        return place;
    return m_leads.try_emplace(KeyOf(record), place).first->second;
}
