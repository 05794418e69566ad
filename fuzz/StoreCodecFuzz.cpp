// Feeds any bytes to the digest store's row codec, as a row (the first byte says how many of the
// next bytes are the row's key, the rest is its blob, with or without its checksum) and as the
// entries of one section. Besides
// crashes and sanitizer reports it checks that whatever parses writes back to exactly the bytes it
// was parsed from, section by section and entry by entry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/StoreCodec.h"

namespace {

// The entries written again, or false when they do not parse.
bool Rewrite(std::string_view entries, std::string& into)
{
    std::vector<StoredEntry> parsed;
    if (!ParseEntries(entries, parsed))
        return false;
    for (const StoredEntry& entry : parsed)
        AppendEntry(into, entry);
    return true;
}

void Require(bool holds)
{
    if (!holds)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string entries;
    if (Rewrite(bytes, entries))
        Require(entries == bytes);

    if (bytes.empty())
        return 0;
    const size_t keyBytes = std::min<size_t>(static_cast<unsigned char>(bytes[0]), bytes.size() - 1);
    const std::string_view key = bytes.substr(1, keyBytes);
    const std::string_view blob = bytes.substr(1 + keyBytes);
    // A row whose checksum matches seals again to the same bytes.
    std::string_view unsealed;
    if (UnsealRow(key, blob, unsealed)) {
        std::string sealed(unsealed);
        SealRow(key, sealed);
        Require(sealed == blob);
    }
    std::vector<StoredSection> sections;
    if (!ParseSections(key, blob, sections))
        return 0;
    std::string row;
    for (const StoredSection& section : sections) {
        const size_t start = BeginSection(row, section.folder);
        if (!Rewrite(section.entries, row))
            return 0;
        Require(EndSection(row, start));
    }
    Require(row == blob);
    return 0;
}
