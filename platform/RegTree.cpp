#include "platform/RegTree.h"

#include <unordered_map>

#include "platform/Utf16Text.h"

namespace {

// Pairs every key of `from` with the key at the same place in `to` (a copy of it).
void MapKeys(const CRegTree::Key& from, const CRegTree::Key& to,
             std::unordered_map<const CRegTree::Key*, const CRegTree::Key*>& map)
{
    for (size_t i = 0; i < from.Subkeys().size(); ++i) {
        map.emplace(from.Subkeys()[i].get(), to.Subkeys()[i].get());
        MapKeys(*from.Subkeys()[i], *to.Subkeys()[i], map);
    }
}

}  // namespace

CRegTree::CRegTree(const CRegTree& other) : m_root(other.m_root), m_lines(other.m_lines)
{
    if (m_lines.empty())
        return;
    std::unordered_map<const Key*, const Key*> map;
    MapKeys(other.m_root, m_root, map);
    for (Line& line : m_lines) {
        if (line.key)
            line.key = map.at(line.key);
    }
}

CRegTree::Key::Key(const Key& other)
    : m_name(other.m_name), m_values(other.m_values), m_valueIndex(other.m_valueIndex), m_subkeyIndex(other.m_subkeyIndex)
{
    m_subkeys.reserve(other.m_subkeys.size());
    for (const auto& subkey : other.m_subkeys)
        m_subkeys.push_back(std::make_unique<Key>(*subkey));
}

const CRegTree::Value* CRegTree::Key::FindValue(std::u16string_view name) const
{
    auto found = m_valueIndex.find(LowerAZ(name));
    return found == m_valueIndex.end() ? nullptr : &m_values[found->second];
}

CRegTree::Key* CRegTree::Key::FindSubkey(std::u16string_view name)
{
    auto found = m_subkeyIndex.find(LowerAZ(name));
    return found == m_subkeyIndex.end() ? nullptr : m_subkeys[found->second].get();
}

const CRegTree::Key* CRegTree::Key::FindSubkey(std::u16string_view name) const
{
    return const_cast<Key*>(this)->FindSubkey(name);
}

CRegTree::Key& CRegTree::Key::AddSubkey(std::u16string_view name, bool& created)
{
    auto [position, inserted] = m_subkeyIndex.try_emplace(LowerAZ(name), m_subkeys.size());
    created = inserted;
    if (inserted)
        m_subkeys.push_back(std::make_unique<Key>(std::u16string(name)));
    return *m_subkeys[position->second];
}

bool CRegTree::Key::SetValue(std::u16string_view name, uint32_t type, std::string_view data, size_t* at)
{
    auto [position, inserted] = m_valueIndex.try_emplace(LowerAZ(name), m_values.size());
    if (at)
        *at = position->second;
    if (inserted) {
        m_values.push_back(Value{std::u16string(name), type, std::string(data)});
        return true;
    }
    Value& value = m_values[position->second];
    if (value.type == type && value.data == data)
        return false;
    value.type = type;
    value.data.assign(data);
    return true;
}

CRegTree::Key* CRegTree::Find(const std::vector<std::u16string>& path)
{
    Key* key = &m_root;
    for (const auto& name : path) {
        key = key->FindSubkey(name);
        if (!key)
            return nullptr;
    }
    return key;
}

const CRegTree::Key* CRegTree::Find(const std::vector<std::u16string>& path) const
{
    return const_cast<CRegTree*>(this)->Find(path);
}

CRegTree::Key& CRegTree::Create(const std::vector<std::u16string>& path, bool& created)
{
    Key* key = &m_root;
    created = false;
    for (const auto& name : path)
        key = &key->AddSubkey(name, created);
    return *key;
}

bool CRegTree::IsValidKeyName(std::u16string_view name)
{
    if (name.empty())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        if (unit < 0x20 || unit == 0x7F || unit == u'\\')
            return false;
        if (IsSurrogatePairAt(name, i))
            ++i;
        else if (IsSurrogate(unit))
            return false;
    }
    return true;
}
