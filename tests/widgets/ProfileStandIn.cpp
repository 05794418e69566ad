// An in-memory profile for this test binary until the per-user store is part of the build. The
// definitions are weak: the store's own, once linked, take their place.
#include <map>
#include <string>

#include "platform/Profile.h"

namespace {

std::map<std::u16string, std::u16string>& Values()
{
    static std::map<std::u16string, std::u16string> values;
    return values;
}

} // namespace

__attribute__((weak)) void SetProfileRegistryKey(std::u16string_view, std::u16string_view)
{
}

__attribute__((weak)) bool WriteProfileString(std::u16string_view section, std::u16string_view entry,
                                              std::u16string_view value)
{
    Values()[std::u16string(section) + u"\\" + std::u16string(entry)] = value;
    return true;
}

__attribute__((weak)) std::u16string GetProfileString(std::u16string_view section, std::u16string_view entry,
                                                      std::u16string_view defaultValue)
{
    auto found = Values().find(std::u16string(section) + u"\\" + std::u16string(entry));
    return found == Values().end() ? std::u16string(defaultValue) : found->second;
}
