#include "cli/RowText.h"

#include <cstdio>

#include "platform/NativeName.h"
#include "platform/Utf16Text.h"

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value)
{
    char escape[16];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

// Escapes shared by both forms; returns false when the unit needs the caller's own treatment.
bool AppendCommonEscape(std::string& out, char16_t unit)
{
    switch (unit) {
    case u'"':
        out += "\\\"";
        return true;
    case u'\\':
        out += "\\\\";
        return true;
    case u'\n':
        out += "\\n";
        return true;
    case u'\r':
        out += "\\r";
        return true;
    case u'\t':
        out += "\\t";
        return true;
    default:
        return false;
    }
}

// Walks the text, handing lone surrogates and control characters to `special` and copying the
// rest as UTF-8.
template <typename Special>
std::string Escaped(std::u16string_view text, Special special)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (AppendCommonEscape(out, unit))
            continue;
        if (IsSurrogatePairAt(text, i)) {
            out += EncodeNativeName(text.substr(i, 2));
            ++i;
        } else if (IsTerminalControl(unit) || IsSurrogate(unit)) {
            special(out, unit);
        } else {
            out += EncodeNativeName(text.substr(i, 1));
        }
    }
    out += '"';
    return out;
}

}  // namespace

std::string JsonString(std::u16string_view text)
{
    return Escaped(text, [](std::string& out, char16_t unit) { AppendEscape(out, "\\u%04x", unit); });
}

std::string QuotedText(std::u16string_view text)
{
    return Escaped(text, [](std::string& out, char16_t unit) {
        if (IsByteStandIn(unit))
            AppendEscape(out, "\\x%02x", unit - 0xDC00u);  // a byte that is not UTF-8
        else if (unit < 0x80)
            AppendEscape(out, "\\x%02x", unit);  // a C0 control character or DEL
        else
            AppendEscape(out, "\\u%04x", unit);  // C1, a bidirectional control, another lone surrogate
    });
}

std::string JsonRow(const CDuplicatePair& row)
{
    return "{\"original\": " + JsonString(row.originalPath) + ", \"duplicate\": " + JsonString(row.duplicatePath) +
        ", \"size\": " + std::to_string(row.size) + "}\n";
}

std::string TextRow(const CDuplicatePair& row)
{
    return std::to_string(row.size) + "  " + QuotedText(row.originalPath) + "  " + QuotedText(row.duplicatePath) + "\n";
}

std::string ActionLine(bool jsonl, std::string_view verb, std::u16string_view file, std::u16string_view kept, uint64_t size,
                       std::string_view reason)
{
    std::string line;
    if (jsonl) {
        line = "{\"action\": " + JsonString(DecodeNativeName(verb)) + ", \"file\": " + JsonString(file);
        if (!kept.empty())
            line += ", \"kept\": " + JsonString(kept);
        line += ", \"size\": " + std::to_string(size);
        if (!reason.empty())
            line += ", \"reason\": " + JsonString(DecodeNativeName(reason));
        return line + "}\n";
    }
    line = std::string(verb) + "  " + std::to_string(size) + "  " + QuotedText(file);
    if (!kept.empty())
        line += "  " + QuotedText(kept);
    if (!reason.empty())
        line.append("  ").append(reason);
    return line + "\n";
}
