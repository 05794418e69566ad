#include "platform/RegText.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>

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

// True when the lines are text a person or a program could have written: no control character
// but tabs, line ends and carriage returns, and no surrogate outside a valid pair (which includes
// the stand-ins for bytes that are not UTF-8).
bool IsText(std::u16string_view line)
{
    for (size_t i = 0; i < line.size(); ++i) {
        const char16_t unit = line[i];
        if ((unit < 0x20 && unit != u'\t' && unit != u'\r' && unit != u'\n') || unit == 0x7F)
            return false;
        if (IsSurrogatePairAt(line, i))
            ++i;
        else if (IsSurrogate(unit))
            return false;
    }
    return true;
}

class CParser {
public:
    CParser(std::string_view bytes, CRegText::Damage& damage) : m_damage(damage) { m_text = CRegText::Decode(bytes, &damage); }

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
        if (!m_sawHeader && m_sawContent)
            m_damage.noHeader = true;
        return std::move(m_tree);
    }

private:
    // Handles the line [start, end) and returns where the next line starts.
    size_t Line(std::u16string_view text, size_t start, size_t end)
    {
        const std::u16string_view raw = text.substr(start, end - start);
        const std::u16string_view line = Trim(raw);
        if (!line.empty())
            m_sawContent = true;
        if (line == kHeader || line == kOldHeader) {
            m_sawHeader = true;  // the writer puts its own header first
            return end + 1;
        }
        if (line.empty() || line[0] == u';') {
            KeepText(raw, false);
            return end + 1;
        }
        if (line[0] == u'[') {
            m_key = KeyLine(line);
            // The lines of a section whose key line is dropped go with it: kept, they would
            // move into the section before it.
            m_inDroppedSection = !IsText(raw);
            if (m_key)
                AddLine(CRegTree::Line::Kind::Key, 0, line.substr(1, line.size() - 2));
            else
                KeepText(raw, true);
            return end + 1;
        }
        if (line[0] != u'"' && line[0] != u'@') {
            KeepText(raw, true);
            return end + 1;
        }
        if (line.back() != u'\\' || !IsHexValue(line)) {
            if (!ValueLine(line))
                KeepText(raw, true);
            return end + 1;
        }
        return JoinContinuation(text, start, end) + 1;
    }

    // A hex value whose line ends with a backslash goes on in the following lines. Returns where
    // the last of them ends.
    size_t JoinContinuation(std::u16string_view text, size_t start, size_t end)
    {
        const size_t first = start;
        std::u16string_view line = Trim(text.substr(start, end - start));
        std::u16string joined(line.substr(0, line.size() - 1));
        while (end < text.size()) {
            start = end + 1;
            end = text.find(u'\n', start);
            if (end == text.npos)
                end = text.size();
            std::u16string_view part = Trim(text.substr(start, end - start));
            const bool more = !part.empty() && part.back() == u'\\';
            joined.append(more ? part.substr(0, part.size() - 1) : part);
            if (!more)
                break;
        }
        if (ValueLine(joined))
            return end;
        // Every line of the value stays as it was, or, when one of them is not text, none: the
        // rest would join other lines when read again.
        const std::u16string_view group = text.substr(first, end - first);
        if (!IsText(group)) {
            m_damage.dropped = true;
            return end;
        }
        for (size_t lineStart = 0; lineStart <= group.size();) {
            size_t lineEnd = group.find(u'\n', lineStart);
            if (lineEnd == group.npos)
                lineEnd = group.size();
            const std::u16string_view part = group.substr(lineStart, lineEnd - lineStart);
            KeepText(part, !Trim(part).empty());  // a blank line is never damage
            lineStart = lineEnd + 1;
        }
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

    // Stores the value of a `"name"=data` line; false when the line is not one or is not below
    // a key of ours.
    bool ValueLine(std::u16string_view line)
    {
        ParsedValue value;
        auto data = DataOf(line, &value.name);
        if (!m_key || !data || !ParseData(*data, value))
            return false;
        size_t position = 0;
        m_key->SetValue(value.name, value.type, value.data, &position);
        AddLine(CRegTree::Line::Kind::Value, position, {});
        return true;
    }

    void AddLine(CRegTree::Line::Kind kind, size_t value, std::u16string_view text)
    {
        CRegTree::Line& line = m_tree.Lines().emplace_back();
        line.kind = kind;
        line.key = m_key == &m_tree.Root() ? nullptr : m_key;
        line.value = value;
        line.text = text;
    }

    // A comment, a blank line or (when `skipped`) a line that was not understood. Text is kept
    // in place; anything else is left out of the tree.
    void KeepText(std::u16string_view raw, bool skipped)
    {
        if (m_inDroppedSection || !IsText(raw)) {
            m_damage.dropped = true;
            return;
        }
        CRegTree::Line& line = m_tree.Lines().emplace_back();
        line.text = raw;
        if (skipped)
            m_damage.kept.emplace_back(raw);
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

    CRegText::Damage& m_damage;
    std::u16string m_text;
    CRegTree m_tree;
    CRegTree::Key* m_key = nullptr;
    bool m_sawHeader = false;
    bool m_sawContent = false;
    bool m_inDroppedSection = false;
};

void AppendHex(std::u16string& out, uint32_t number, int digits)
{
    static const char16_t kDigits[] = u"0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(kDigits[(number >> shift) & 0xF]);
}

// Appends the text in quotes with the escapes of CRegText::Quote.
void QuoteInto(std::u16string& out, std::u16string_view text)
{
    out.push_back(u'"');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool pairs = IsSurrogatePairAt(text, i);
        if (unit == u'\\' || unit == u'"') {
            out.push_back(u'\\');
            out.push_back(unit);
        } else if (pairs) {
            out.push_back(unit);
            out.push_back(text[++i]);
        } else if (unit < 0x20 || unit == 0x7F || IsSurrogate(unit)) {
            out += u"\\u";
            AppendHex(out, unit, 4);
        } else {
            out.push_back(unit);
        }
    }
    out.push_back(u'"');
}

bool IsWholeText(const CRegTree::Value& value)
{
    const std::string& data = value.data;
    return value.type == REG_SZ && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
        data[data.size() - 2] == 0;
}

void AppendData(std::u16string& out, const CRegTree::Value& value)
{
    if (IsWholeText(value)) {
        thread_local std::u16string text;  // reused: a save formats many values
        text.clear();
        for (size_t i = 0; i + 2 < value.data.size(); i += 2) {
            const auto low = static_cast<unsigned char>(value.data[i]);
            const auto high = static_cast<unsigned char>(value.data[i + 1]);
            text.push_back(static_cast<char16_t>(low | (high << 8)));
        }
        QuoteInto(out, text);
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

void AppendValue(std::u16string& out, const CRegTree::Value& value)
{
    if (value.name.empty())
        out.push_back(u'@');
    else
        QuoteInto(out, value.name);
    out.push_back(u'=');
    AppendData(out, value);
    out.push_back(u'\n');
}

// Writes the keys that no line of the file named, depth first in the order they were added.
void AppendNewKeys(std::u16string& out, const CRegTree::Key& key, const std::u16string& path, bool isRoot,
                   const std::unordered_set<const CRegTree::Key*>& written)
{
    if (!written.count(&key) && (!key.Values().empty() || (key.Subkeys().empty() && !isRoot))) {
        out += u"\n[" + path + u"]\n";
        for (const auto& value : key.Values())
            AppendValue(out, value);
    }
    for (const auto& subkey : key.Subkeys())
        AppendNewKeys(out, *subkey, path + u'\\' + subkey->Name(), false, written);
}

// Writes the lines the tree was read from: text as it was, keys and values as they are now, and
// after the last line of each key's last section the values added to it since.
void AppendLines(std::u16string& out, const CRegTree& tree, std::unordered_set<const CRegTree::Key*>& written)
{
    using Kind = CRegTree::Line::Kind;
    const auto& lines = tree.Lines();
    auto keyOf = [&](const CRegTree::Line& line) { return line.key ? line.key : &tree.Root(); };
    std::unordered_map<const CRegTree::Key*, size_t> sectionEnd;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Kind::Text)
            sectionEnd[keyOf(lines[i])] = i;
    }
    std::unordered_map<const CRegTree::Key*, std::vector<bool>> writtenValues;
    for (size_t i = 0; i < lines.size(); ++i) {
        const CRegTree::Line& line = lines[i];
        if (line.kind == Kind::Text) {
            out += line.text;
            out.push_back(u'\n');
            continue;
        }
        const CRegTree::Key* key = keyOf(line);
        std::vector<bool>& done = writtenValues[key];
        done.resize(key->Values().size());
        if (line.kind == Kind::Key) {
            written.insert(key);
            out += u"[" + line.text + u"]\n";
        } else if (line.value < done.size() && !done[line.value]) {
            done[line.value] = true;  // a name given twice is written once, with what it holds
            AppendValue(out, key->Values()[line.value]);
        }
        if (sectionEnd[key] != i)
            continue;
        for (size_t v = 0; v < done.size(); ++v) {
            if (!done[v]) {
                done[v] = true;
                AppendValue(out, key->Values()[v]);
            }
        }
    }
}

}  // namespace

CRegTree CRegText::Parse(std::string_view bytes, Damage* damage)
{
    Damage ignored;
    return CParser(bytes, damage ? *damage : ignored).Run();
}

std::u16string CRegText::Decode(std::string_view bytes, Damage* damage)
{
    const bool little = bytes.substr(0, 2) == "\xFF\xFE";
    if (!little && bytes.substr(0, 2) != "\xFE\xFF") {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        return DecodeNativeName(bytes);
    }
    bytes.remove_prefix(2);
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
    if (damage) {
        damage->notUtf8 = true;
        damage->dropped = damage->dropped || bytes.size() % 2 != 0;
    }
    return text;
}

std::string CRegText::Format(const CRegTree& tree)
{
    std::u16string out;
    out.reserve(64 * tree.Lines().size() + 4096);  // about what a line of the file takes
    out += kHeader;
    out.push_back(u'\n');
    std::unordered_set<const CRegTree::Key*> written;
    AppendLines(out, tree, written);
    AppendNewKeys(out, tree.Root(), std::u16string(kRootName), true, written);
    return EncodeNativeName(out);
}

std::u16string CRegText::Quote(std::u16string_view text)
{
    std::u16string out;
    QuoteInto(out, text);
    return out;
}
