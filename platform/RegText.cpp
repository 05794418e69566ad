#include "platform/RegText.h"

#include <cstdint>
#include <optional>

#include "platform/NativeName.h"
#include "platform/Registry.h"
#include "platform/Utf16Text.h"

namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kOldHeader = u"REGEDIT4";
constexpr std::u16string_view kRootName = u"HKEY_CURRENT_USER";

bool IsBlank(char16_t unit)
{
    return unit == u' ' || unit == u'\t' || unit == u'\r';
}

std::u16string_view Trim(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'a' && unit <= u'f')
        return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return -1;
}

// A number of 1 to 8 hex digits filling the whole text.
std::optional<uint32_t> ParseHex32(std::u16string_view text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    uint32_t number = 0;
    for (char16_t unit : text) {
        const int digit = HexDigit(unit);
        if (digit < 0)
            return std::nullopt;
        number = (number << 4) | static_cast<uint32_t>(digit);
    }
    return number;
}

bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && EqualFoldAZ(text.substr(0, prefix.size()), prefix);
}

// Reads a quoted text starting at the quote at `pos`; on success `pos` is just past the closing
// quote.
std::optional<std::u16string> ParseQuoted(std::u16string_view line, size_t& pos)
{
    if (pos >= line.size() || line[pos] != u'"')
        return std::nullopt;
    std::u16string text;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        const char16_t unit = line[i];
        if (unit == u'"') {
            pos = i + 1;
            return text;
        }
        if (unit != u'\\' || i + 1 >= line.size()) {
            text.push_back(unit);
            continue;
        }
        const char16_t next = line[i + 1];
        if (next == u'\\' || next == u'"') {
            text.push_back(next);
            ++i;
        } else if (next == u'u' && i + 5 < line.size() && ParseHex32(line.substr(i + 2, 4))) {
            text.push_back(static_cast<char16_t>(*ParseHex32(line.substr(i + 2, 4))));
            i += 5;
        } else {
            text.push_back(unit);
        }
    }
    return std::nullopt;
}

// "aa,bb,..." as bytes; an empty list and one trailing comma are accepted.
std::optional<std::string> ParseHexBytes(std::u16string_view list)
{
    std::string bytes;
    list = Trim(list);
    size_t start = 0;
    while (start < list.size()) {
        size_t comma = list.find(u',', start);
        const bool last = comma == std::u16string_view::npos;
        const std::u16string_view token = Trim(list.substr(start, last ? list.npos : comma - start));
        const auto number = token.size() <= 2 ? ParseHex32(token) : std::nullopt;
        if (!number)
            return std::nullopt;
        bytes.push_back(static_cast<char>(*number));
        start = last ? list.size() : comma + 1;
    }
    return bytes;
}

std::string TextBytes(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(2 * (text.size() + 1));
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    bytes.append(2, '\0');
    return bytes;
}

std::string DwordBytes(uint32_t number)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
}

struct ParsedValue {
    std::u16string name;
    uint32_t type = 0;
    std::string data;
};

// The data after "name"=: a quoted text, dword:, hex: or hex(type):.
bool ParseData(std::u16string_view data, ParsedValue& value)
{
    if (!data.empty() && data[0] == u'"') {
        size_t pos = 0;
        auto text = ParseQuoted(data, pos);
        if (!text || pos != data.size())
            return false;
        value.type = REG_SZ;
        value.data = TextBytes(*text);
        return true;
    }
    if (StartsWithFolded(data, u"dword:")) {
        auto number = ParseHex32(Trim(data.substr(6)));
        if (!number)
            return false;
        value.type = REG_DWORD;
        value.data = DwordBytes(*number);
        return true;
    }
    if (StartsWithFolded(data, u"hex:")) {
        value.type = REG_BINARY;
        data.remove_prefix(4);
    } else if (StartsWithFolded(data, u"hex(")) {
        const size_t close = data.find(u"):");
        auto type = close == data.npos ? std::nullopt : ParseHex32(data.substr(4, close - 4));
        if (!type)
            return false;
        value.type = *type;
        data.remove_prefix(close + 2);
    } else {
        return false;
    }
    auto bytes = ParseHexBytes(data);
    if (!bytes)
        return false;
    value.data = std::move(*bytes);
    return true;
}

class CParser {
public:
    explicit CParser(std::string_view bytes)
    {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        m_text = DecodeNativeName(bytes);
    }

    CRegTree Run()
    {
        std::u16string_view text = m_text;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(u'\n', start);
            if (end == text.npos)
                end = text.size();
            start = Line(text, start, end);
        }
        return std::move(m_tree);
    }

private:
    // Handles the line [start, end) and returns where the next line starts.
    size_t Line(std::u16string_view text, size_t start, size_t end)
    {
        const std::u16string_view line = Trim(text.substr(start, end - start));
        if (line.empty() || line[0] == u';' || line == kHeader || line == kOldHeader)
            return end + 1;
        if (line[0] == u'[') {
            m_key = KeyLine(line);
            return end + 1;
        }
        if (line[0] != u'"' && line[0] != u'@')
            return end + 1;
        if (line.back() != u'\\' || !IsHexValue(line))
            ValueLine(line);
        else
            end = JoinContinuation(text, line, end);
        return end + 1;
    }

    // A hex value whose line ends with a backslash goes on in the following lines.
    size_t JoinContinuation(std::u16string_view text, std::u16string_view first, size_t end)
    {
        std::u16string joined(first.substr(0, first.size() - 1));
        while (end < text.size()) {
            const size_t start = end + 1;
            end = text.find(u'\n', start);
            if (end == text.npos)
                end = text.size();
            std::u16string_view part = Trim(text.substr(start, end - start));
            const bool more = !part.empty() && part.back() == u'\\';
            joined.append(more ? part.substr(0, part.size() - 1) : part);
            if (!more)
                break;
        }
        ValueLine(joined);
        return end;
    }

    static bool NameEnd(std::u16string_view line, size_t& pos, std::u16string* name)
    {
        if (line[0] == u'@') {
            pos = 1;
            if (name)
                name->clear();
            return true;
        }
        pos = 0;
        auto quoted = ParseQuoted(line, pos);
        if (!quoted)
            return false;
        if (name)
            *name = std::move(*quoted);
        return true;
    }

    // The data part of `"name"=data`, or nullopt when the line has no such shape.
    static std::optional<std::u16string_view> DataOf(std::u16string_view line, std::u16string* name)
    {
        size_t pos = 0;
        if (!NameEnd(line, pos, name))
            return std::nullopt;
        std::u16string_view rest = Trim(line.substr(pos));
        if (rest.empty() || rest[0] != u'=')
            return std::nullopt;
        return Trim(rest.substr(1));
    }

    static bool IsHexValue(std::u16string_view line)
    {
        auto data = DataOf(line, nullptr);
        return data && StartsWithFolded(*data, u"hex");
    }

    void ValueLine(std::u16string_view line)
    {
        ParsedValue value;
        auto data = DataOf(line, &value.name);
        if (m_key && data && ParseData(*data, value))
            m_key->SetValue(value.name, value.type, value.data);
    }

    // The key a section line names, or null when it names none of ours.
    CRegTree::Key* KeyLine(std::u16string_view line)
    {
        if (line.size() < 2 || line.back() != u']')
            return nullptr;
        std::u16string_view inner = line.substr(1, line.size() - 2);
        std::vector<std::u16string> path;
        size_t start = 0;
        for (;;) {
            const size_t slash = inner.find(u'\\', start);
            path.emplace_back(inner.substr(start, slash == inner.npos ? inner.npos : slash - start));
            if (slash == inner.npos)
                break;
            start = slash + 1;
        }
        if (!EqualFoldAZ(path.front(), kRootName) || path.size() - 1 > CRegTree::kMaxDepth)
            return nullptr;
        path.erase(path.begin());
        for (const auto& name : path) {
            if (!CRegTree::IsValidKeyName(name))
                return nullptr;
        }
        bool created = false;
        return &m_tree.Create(path, created);
    }

    std::u16string m_text;
    CRegTree m_tree;
    CRegTree::Key* m_key = nullptr;
};

void AppendHex(std::u16string& out, uint32_t number, int digits)
{
    static const char16_t kDigits[] = u"0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(kDigits[(number >> shift) & 0xF]);
}

bool IsWholeText(const CRegTree::Value& value)
{
    const std::string& data = value.data;
    return value.type == REG_SZ && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0
        && data[data.size() - 2] == 0;
}

void AppendData(std::u16string& out, const CRegTree::Value& value)
{
    if (IsWholeText(value)) {
        std::u16string text;
        for (size_t i = 0; i + 2 < value.data.size(); i += 2) {
            const auto low = static_cast<unsigned char>(value.data[i]);
            const auto high = static_cast<unsigned char>(value.data[i + 1]);
            text.push_back(static_cast<char16_t>(low | (high << 8)));
        }
        out += CRegText::Quote(text);
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        out += u"dword:";
        AppendHex(out, number, 8);
        return;
    }
    if (value.type == REG_BINARY) {
        out += u"hex:";
    } else {
        out += u"hex(";
        int digits = 1;
        while (digits < 8 && (value.type >> (4 * digits)) != 0)
            ++digits;
        AppendHex(out, value.type, digits);
        out += u"):";
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
        if (i > 0)
            out.push_back(u',');
        AppendHex(out, static_cast<unsigned char>(value.data[i]), 2);
    }
}

void AppendKey(std::u16string& out, const CRegTree::Key& key, const std::u16string& path, bool isRoot)
{
    if (!key.Values().empty() || (key.Subkeys().empty() && !isRoot)) {
        out += u"\n[" + path + u"]\n";
        for (const auto& value : key.Values()) {
            out += value.name.empty() ? std::u16string(u"@") : CRegText::Quote(value.name);
            out.push_back(u'=');
            AppendData(out, value);
            out.push_back(u'\n');
        }
    }
    for (const auto& subkey : key.Subkeys())
        AppendKey(out, *subkey, path + u'\\' + subkey->Name(), false);
}

} // namespace

CRegTree CRegText::Parse(std::string_view bytes)
{
    return CParser(bytes).Run();
}

std::string CRegText::Format(const CRegTree& tree)
{
    std::u16string out(kHeader);
    out.push_back(u'\n');
    AppendKey(out, tree.Root(), std::u16string(kRootName), true);
    return EncodeNativeName(out);
}

std::u16string CRegText::Quote(std::u16string_view text)
{
    std::u16string out(1, u'"');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool pairs = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF;
        if (unit == u'\\' || unit == u'"') {
            out.push_back(u'\\');
            out.push_back(unit);
        } else if (pairs) {
            out.push_back(unit);
            out.push_back(text[++i]);
        } else if (unit < 0x20 || unit == 0x7F || (unit >= 0xD800 && unit <= 0xDFFF)) {
            out += u"\\u";
            AppendHex(out, unit, 4);
        } else {
            out.push_back(unit);
        }
    }
    out.push_back(u'"');
    return out;
}
