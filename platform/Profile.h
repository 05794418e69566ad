#pragma once
// The application profile: string values kept in the per-user store under
// Software\<registry key>\<application name>\<section>, value name <entry>.
// Any thread may call these: the store guards its contents and a mutex guards where the profile
// lives. The program itself calls them on the window thread.
#include <string>
#include <string_view>

// Sets where the profile lives, e.g. ("Velvane\\Quillon 1.0", "Quillon"). Until it is called the
// profile is not available: reads give their default and writes fail.
void SetProfileRegistryKey(std::u16string_view registryKey, std::u16string_view applicationName);

// Writes the text as a string value. Returns false when the store could not be written.
bool WriteProfileString(std::u16string_view section, std::u16string_view entry, std::u16string_view value);

// The stored text, or `defaultValue` when the value is missing or cannot be read.
std::u16string GetProfileString(std::u16string_view section, std::u16string_view entry, std::u16string_view defaultValue = {});
