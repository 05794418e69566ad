#include "platform/Profile.h"

#include <mutex>

#include "platform/RegKey.h"
#include "platform/RegStore.h"
#include "platform/Registry.h"

namespace {

std::mutex g_profileMutex;
std::u16string g_profileKey;  // Software\<registry key>\<application name>, empty until set

std::u16string SectionPath(std::u16string_view section)
{
    std::lock_guard lock(g_profileMutex);
    if (g_profileKey.empty())
        return {};
    return g_profileKey + u'\\' + std::u16string(section);
}

}  // namespace

void SetProfileRegistryKey(std::u16string_view registryKey, std::u16string_view applicationName)
{
    std::lock_guard lock(g_profileMutex);
    g_profileKey = u"Software\\" + std::u16string(registryKey) + u'\\' + std::u16string(applicationName);
}

bool WriteProfileString(std::u16string_view section, std::u16string_view entry, std::u16string_view value)
{
    const std::u16string path = SectionPath(section);
    if (path.empty())
        return false;
    // One rewrite of the store for the key and the value.
    return HKEY_CURRENT_USER->Store().Batch([&] {
        HKEY key = nullptr;
        if (const long error = RegCreateKeyEx(HKEY_CURRENT_USER, path, KEY_WRITE, &key))
            return error;
        const long result = RegSetStringValue(key, entry, value);
        RegCloseKey(key);
        return result;
    }) == ERROR_SUCCESS;
}

std::u16string GetProfileString(std::u16string_view section, std::u16string_view entry, std::u16string_view defaultValue)
{
    const std::u16string path = SectionPath(section);
    HKEY key = nullptr;
    if (path.empty() || RegOpenKeyEx(HKEY_CURRENT_USER, path, KEY_READ, &key) != ERROR_SUCCESS)
        return std::u16string(defaultValue);
    std::u16string text;
    uint32_t type = REG_NONE;
    const long result = RegQueryStringValue(key, entry, text, &type);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return std::u16string(defaultValue);
    return text;
}
