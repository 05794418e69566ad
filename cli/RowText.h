#pragma once
// How quillon-find writes paths and rows. Text is UTF-16 inside the program; output is UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/DuplicatePair.h"

// True for what a terminal would take as a command or as a change of writing direction rather
// than as text: C0 and C1 control characters, DEL (U+009B is an 8-bit CSI), and the
// bidirectional embeddings, overrides and isolates (U+202A..U+202E, U+2066..U+2069), which
// would reverse the rest of the line. Any thread.
constexpr bool IsTerminalControl(char16_t unit)
{
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || (unit >= 0x202A && unit <= 0x202E) ||
        (unit >= 0x2066 && unit <= 0x2069);
}

// A JSON string literal (with its quotes) of the text: valid UTF-8 JSON for every input. Quotes,
// backslashes and control characters (IsTerminalControl) are escaped; a surrogate without its
// partner (a byte of a file name that is not UTF-8 is U+DC80..U+DCFF) is written as a \udcXX
// escape.
std::string JsonString(std::u16string_view text);

// The text in double quotes for people: UTF-8, with quotes, backslashes and control characters
// escaped C-style (C0 and DEL as \xNN, C1 and the bidirectional controls as \uNNNN, so none
// reaches a terminal raw), and each
// byte of a name that is not UTF-8 written as \xNN (always 0x80 or above). Two different paths
// never give the same text, so names with blanks or quotes stay unambiguous.
std::string QuotedText(std::u16string_view text);

// One row as a line of JSON: {"original": ..., "duplicate": ..., "size": N} and a newline.
std::string JsonRow(const CDuplicatePair& row);

// One row as a line of text: the size in bytes, the original and the duplicate, quoted.
std::string TextRow(const CDuplicatePair& row);

// One line about a file acted on (or not) beside the file of its set that stays. `verb` says what
// was done ("trashed", "linked", "cloned", "would-trash"...; "skipped" with a `reason`). Text:
// the verb, the size in bytes, the file and the kept file quoted, then the reason, two blanks
// apart. JSON: {"action": ..., "file": ..., "kept": ..., "size": N} with "reason" when there is
// one; `kept` is left out when empty (a set left alone). `reason` is this program's own text (any
// name in it already quoted with QuotedText). A newline ends both.
std::string ActionLine(bool jsonl, std::string_view verb, std::u16string_view file, std::u16string_view kept, uint64_t size,
                       std::string_view reason);
