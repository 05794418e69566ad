#include "app/CmdLineParser.h"

#include "platform/Utf16Text.h"

namespace {

constexpr std::u16string_view kSwitchChars = u"-/";
constexpr std::u16string_view kValueSeparators = u" :";
constexpr char16_t kQuote = u'"';
constexpr size_t kEnd = std::u16string_view::npos;

}  // namespace

CCmdLineParser::CCmdLineParser(const char16_t* text, bool caseSensitive) : m_caseSensitive(caseSensitive)
{
    if (text)
        Split(text);
}

CCmdLineParser::CCmdLineParser(std::u16string_view text, bool caseSensitive) : m_caseSensitive(caseSensitive)
{
    Split(text);
}

void CCmdLineParser::Split(std::u16string_view text)
{
    m_text.assign(text);
    m_switches.clear();
    size_t cursor = 0;
    while (cursor < m_text.size())
        cursor = SplitOne(cursor);
}

// Reads the switch at or after `cursor`; returns where the next one may start, or the end of the
// text when nothing follows.
size_t CCmdLineParser::SplitOne(size_t cursor)
{
    const std::u16string_view text = m_text;
    const size_t switchAt = text.find_first_of(kSwitchChars, cursor);
    if (switchAt == kEnd || switchAt + 1 == text.size())
        return text.size();
    const size_t keyStart = switchAt + 1;
    const size_t separator = text.find_first_of(kValueSeparators, keyStart);
    if (separator == kEnd) {
        Insert(text.substr(keyStart), {});
        return text.size();
    }
    const std::u16string_view key = text.substr(keyStart, separator - keyStart);
    if (text[separator] == u' ' || separator + 1 == text.size()) {
        if (!key.empty())
            Insert(key, {});
        return separator + 1;
    }
    // A colon followed by a value: quoted up to the next quote, else up to the next blank.
    size_t valueStart = separator + 1;
    const bool quoted = text[valueStart] == kQuote;
    if (quoted)
        ++valueStart;
    const size_t valueEnd = quoted ? text.find(kQuote, valueStart) : text.find(u' ', valueStart);
    if (valueEnd == kEnd) {
        if (!key.empty())
            Insert(key, text.substr(valueStart));
        return text.size();
    }
    if (!key.empty())
        Insert(key, text.substr(valueStart, valueEnd - valueStart));
    return valueEnd + 1;
}

void CCmdLineParser::Insert(std::u16string_view key, std::u16string_view value)
{
    // emplace keeps the first value of a key that is already there.
    m_switches.emplace(m_caseSensitive ? std::u16string(key) : LowerAZ(key), std::u16string(value));
}

std::optional<std::u16string> CCmdLineParser::FindKey(std::u16string_view key) const
{
    const auto found = m_switches.find(m_caseSensitive ? std::u16string(key) : LowerAZ(key));
    if (found == m_switches.end())
        return std::nullopt;
    return found->second;
}
