#pragma once
// The text form of the per-user store: a UTF-8 file in the registry's export format, which a
// person can read and edit:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Velvane\Quillon 1.0\Settings]
//   "m_Folder"="/home/ann/Photos/"
//   "Count"=dword:0000000c
//   "Raw"=hex(7):41,00,00,00
//
// Quoted names and texts use three escapes: \\ for a backslash, \" for a quote, and \uXXXX
// (exactly four hex digits) for one UTF-16 code unit. The writer uses \uXXXX for control
// characters (U+0000..U+001F, U+007F) and for every surrogate that is not half of a valid pair,
// which includes U+DC80..U+DCFF, the stand-ins for bytes of file names that are not UTF-8. So
// any text round-trips exactly and the file stays valid UTF-8. A backslash followed by anything
// else is kept as it stands, so a hand-written "C:\Data" reads as C:\Data.
//
// A REG_SZ value is written as a quoted text when its bytes are whole UTF-16 units ending with a
// null; a REG_DWORD of 4 bytes as dword:; anything else as hex(type): bytes. Key lines are written
// as the names stand (key names cannot hold a backslash, a control character or a lone surrogate).
//
// The file may also be UTF-16 (little or big endian) with a byte-order mark, as a registry editor
// exports it; it is always written as UTF-8.
//
// Reading never fails: a line that cannot be understood is skipped, and so are the values below
// a key line that cannot be understood or that names another root. Skipped lines, comments and
// blank lines stay in the tree's Lines, so a rewrite puts them back in place; lines that are not
// text at all (NUL bytes, control characters, bytes that are not UTF-8) are dropped. The Damage
// report tells what the reading skipped, so that the caller can keep a copy of the file before
// it is rewritten. Keys and values the file held are written where they stood, values added
// since at the end of their key's last section, and new keys at the end in the order they were
// added, a key only when it has values or no subkeys (other keys follow from their subkeys).
// Pure functions; any thread may call them.
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegTree.h"

class CRegText {
public:
    // What reading a file skipped. A file without damage is rewritten without losing anything.
    struct Damage {
        bool notUtf8 = false;   // the file was UTF-16; a rewrite makes it UTF-8
        bool noHeader = false;  // the file holds something but not the header line
        bool dropped = false;   // lines or bytes that are not text, which a rewrite leaves out
        // Lines that were not understood but are text: a rewrite keeps them in place.
        std::vector<std::u16string> kept;

        bool Any() const { return notUtf8 || noHeader || dropped || !kept.empty(); }
    };

    // The tree described by the file's bytes, with the file's lines. Never fails and never
    // throws for any input. `damage` (optional) receives what was skipped.
    static CRegTree Parse(std::string_view bytes, Damage* damage = nullptr);
    // The file's bytes as text: UTF-16LE or UTF-16BE after their byte-order mark, otherwise
    // UTF-8 (a UTF-8 byte-order mark is left out) with each byte that is not UTF-8 as
    // U+DC80..U+DCFF. Sets damage->notUtf8 and, for an odd trailing byte, damage->dropped.
    static std::u16string Decode(std::string_view bytes, Damage* damage = nullptr);
    // The file's bytes for the tree.
    static std::string Format(const CRegTree& tree);

    // A text in quotes with the escapes above (UTF-16, before conversion to UTF-8).
    static std::u16string Quote(std::u16string_view text);
};
