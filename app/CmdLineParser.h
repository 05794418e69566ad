#pragma once
// Splits a command line into switches: "-key", "/key", "/key:value" and "/key:"quoted value"".
// Switch characters are '-' and '/'; a key ends at a blank or a colon; a value follows a colon
// and ends at the next blank, or, when it starts with a double quote, at the next double quote.
// Every key is kept once (the first occurrence wins) with its value, possibly empty. A parser
// that ignores case stores and looks up keys with A–Z lower-cased. Text that does not fit the
// syntax never fails: it yields odd keys or none. Not thread-safe; plain value type.
#include <map>
#include <optional>
#include <string>
#include <string_view>

class CCmdLineParser {
public:
    // A parser with no switches; case is ignored unless `caseSensitive`.
    explicit CCmdLineParser(bool caseSensitive = false) : m_caseSensitive(caseSensitive) {}
    // A parser holding the switches of `text`; a null text leaves it empty.
    explicit CCmdLineParser(const char16_t* text, bool caseSensitive = false);
    explicit CCmdLineParser(std::u16string_view text, bool caseSensitive = false);
    virtual ~CCmdLineParser() = default;

    // Replaces the stored text with `text` and the switches with the ones it holds.
    void Split(std::u16string_view text);

    // The value of the key (lower-cased first when case is ignored), or nullopt when the command
    // line did not hold it. A key given without a value has an empty value.
    std::optional<std::u16string> FindKey(std::u16string_view key) const;
    // True when the command line held the key.
    bool HasKey(std::u16string_view key) const { return FindKey(key).has_value(); }
    // The key's value, or an empty text when it is absent.
    std::u16string GetValue(std::u16string_view key) const { return FindKey(key).value_or(u""); }

    const std::u16string& Text() const { return m_text; }
    // Every switch, ordered by plain comparison of UTF-16 code units.
    const std::map<std::u16string, std::u16string>& Switches() const { return m_switches; }

private:
    size_t SplitOne(size_t cursor);
    void Insert(std::u16string_view key, std::u16string_view value);

    std::u16string m_text;
    std::map<std::u16string, std::u16string> m_switches;
    bool m_caseSensitive = false;
};
