#include "app/RegSettings.h"

#include "platform/RegKey.h"
#include "platform/RegStore.h"
#include "platform/Utf16Text.h"

namespace {

void AppendArg(std::u16string& out, char conversion, const CRegSettings::PatternArg& arg)
{
    if (conversion == 's') {
        if (const auto* text = std::get_if<std::u16string_view>(&arg))
            out += *text;
        return;
    }
    if (const auto* number = std::get_if<long long>(&arg))
        out += Utf16(std::to_string(*number));
}

}  // namespace

CRegSettings::CRegSettings(HKEY root, std::u16string_view pattern, std::initializer_list<PatternArg> args)
    : m_keyPath(FormatPattern(pattern, args)), m_root(root)
{
}

std::u16string CRegSettings::FormatPattern(std::u16string_view pattern, std::initializer_list<PatternArg> args)
{
    std::u16string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char16_t unit = pattern[i];
        const char16_t conversion = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
        if (unit == u'%' && conversion == u'%') {
            out.push_back(u'%');
            ++i;
        } else if (unit == u'%' && std::u16string_view(u"idus").find(conversion) != std::u16string_view::npos &&
                   next != args.end()) {
            AppendArg(out, static_cast<char>(conversion), *next++);
            ++i;
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

long CRegSettings::Load()
{
    HKEY key = nullptr;
    const long opened = RegOpenKeyEx(m_root, m_keyPath, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        Exchange(nullptr, false, true);
        return opened;
    }
    const long result = Exchange(key, false, false);
    RegCloseKey(key);
    return result;
}

long CRegSettings::Save()
{
    if (!m_root)
        return ERROR_INVALID_HANDLE;
    // Every write of the save goes into one rewrite of the store.
    return m_root->Store().Batch([this] {
        HKEY key = nullptr;
        const long created = RegCreateKeyEx(m_root, m_keyPath, KEY_WRITE, &key);
        if (created != ERROR_SUCCESS)
            return created;
        const long result = Exchange(key, true, false);
        RegCloseKey(key);
        return result;
    });
}

bool CRegSettings::StoreIsDamaged() const
{
    return m_root && m_root->Store().Damage().Any();
}

std::u16string CRegSettings::StoreNotice() const
{
    return m_root ? m_root->Store().DamageNotice() : std::u16string();
}

long CRegSettings::ExchangeString(HKEY key, bool save, bool useDefaults, std::u16string_view name, std::u16string& text)
{
    if (save)
        return RegSetStringValue(key, name, text);
    if (useDefaults) {
        text.clear();
        return ERROR_SUCCESS;
    }
    const long result = RegQueryStringValue(key, name, text);
    if (result != ERROR_SUCCESS)
        text.clear();
    return result;
}
