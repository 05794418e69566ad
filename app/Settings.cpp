#include "app/Settings.h"

#include <algorithm>
#include <cstdint>

#include "platform/Utf16Text.h"

CSettings theSettings(HKEY_CURRENT_USER, u"Software\\Velvane\\Quillon 1.0\\Settings");

namespace {

// The name of entry i: decimal without leading zeros.
std::u16string EntryName(uint32_t index)
{
    return Utf16(std::to_string(index));
}

}  // namespace

long CSettings::Exchange(HKEY key, bool save, bool useDefaults)
{
    if (save) {
        OnBeforeSave();
        if (long error = SaveFolders(key))
            return error;
    } else if (!useDefaults) {
        LoadFolders(key, StoreIsDamaged());  // as far as they can; its result is not used
    }
    const long result = ExchangeString(key, save, useDefaults, u"m_Folder", m_Folder);
    if (!save && !useDefaults)
        OnAfterLoad();
    return result;
}

long CSettings::SaveFolders(HKEY key)
{
    HKEY folders = nullptr;
    if (long error = RegCreateKeyEx(key, u"m_Folders", KEY_WRITE, &folders))
        return error;
    const auto count = static_cast<uint32_t>(m_Folders.size());
    RegSetValueEx(folders, u"Count", REG_DWORD, &count, sizeof count);  // its result is not looked at
    long result = ERROR_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        HKEY entry = nullptr;
        result = RegCreateKeyEx(folders, EntryName(i), KEY_WRITE, &entry);
        if (result != ERROR_SUCCESS)
            break;
        result = m_Folders[i].Exchange(entry, true, false);
        RegCloseKey(entry);
        if (result != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(folders);
    return result;
}

long CSettings::LoadFolders(HKEY key, bool damaged)
{
    m_Folders.clear();
    HKEY folders = nullptr;
    if (long error = RegOpenKeyEx(key, u"m_Folders", KEY_READ, &folders))
        return error;
    uint32_t count = 0;
    uint32_t size = sizeof count;
    const bool counted = RegQueryValueEx(folders, u"Count", nullptr, &count, &size) == ERROR_SUCCESS;
    if (!counted)
        count = 0;
    std::vector<uint32_t> indices;
    if (damaged) {
        indices = EntryIndices(folders, counted ? count : UINT32_MAX);
    } else {
        for (uint32_t i = 0; i < count; ++i)
            indices.push_back(i);
    }
    for (uint32_t i : indices) {
        HKEY entry = nullptr;
        if (RegOpenKeyEx(folders, EntryName(i), KEY_READ, &entry) != ERROR_SUCCESS)
            break;
        CStrOptions folder;
        // An unreadable path loads as an empty one; from a damaged store it is left out.
        const bool read = folder.Exchange(entry, false, false) == ERROR_SUCCESS;
        if (read || !damaged)
            m_Folders.push_back(std::move(folder));
        RegCloseKey(entry);
    }
    RegCloseKey(folders);
    return ERROR_SUCCESS;
}

std::vector<uint32_t> CSettings::EntryIndices(HKEY folders, uint32_t limit)
{
    std::vector<uint32_t> indices;
    std::u16string name;
    for (uint32_t i = 0; RegEnumKeyEx(folders, i, name) == ERROR_SUCCESS; ++i) {
        // Only names EntryName makes: decimal digits without leading zeros.
        if (name.empty() || name.size() > 10 || (name[0] == u'0' && name.size() > 1))
            continue;
        uint64_t index = 0;
        bool digits = true;
        for (char16_t unit : name) {
            digits = digits && unit >= u'0' && unit <= u'9';
            index = index * 10 + (unit - u'0');  // at most 10 digits: no overflow
        }
        if (digits && index < limit)
            indices.push_back(static_cast<uint32_t>(index));
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}
