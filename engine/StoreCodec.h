#pragma once
// The bytes of the digest store's rows: pure code, no SQLite, any thread.
//
// The table holds a row per stretch of folders: the key (the path of its first folder), the last
// day any of its entries was used, and a blob of sections, one per folder of the stretch, in the
// byte order of their folders, the first being the key's. A folder is written as the native bytes
// of its path, except the root's, which is empty: a file directly below "/" belongs to the folder
// "" (SectionFolderOf, the one rule both the reading and the writing side use). The folders of a
// row lie before the key of the next row, so the row that may hold a folder is the last row at or
// before it.
//
//   section: folder length (4 bytes), folder bytes, entries length (4 bytes), entries (at least one)
//   entry:   kinds held (1 byte: bit 0 quick, bit 1 full; not 0), name length (2 bytes, not 0),
//            name (native bytes), device, inode, size, last-write time, change time (8 bytes each),
//            day of last use (4 bytes), then the digests it holds: the quick MD5 (16 bytes), then
//            the full MD5 (16 bytes) with the SHA-256 of the same bytes (32 bytes)
//
// The blob ends with the CRC-32C of the key's bytes and the blob's before it (4 bytes): a row whose
// checksum does not match is damaged, and read as if it were not there.
//
// Numbers are little-endian. An entry describes one file of its folder in one state: it holds the
// quick digest, the full digest or both of that state; a file whose two digests were taken of
// different states has two entries.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Md5.h"
#include "engine/Sha256.h"
#include "platform/FileState.h"

// The bytes of an entry besides its name and digests, and those of its digests of each kind.
constexpr size_t kEntryFixedBytes = 1 + 2 + 5 * 8 + 4;
constexpr size_t kQuickBytes = sizeof(Md5Digest);
constexpr size_t kFullBytes = sizeof(Md5Digest) + sizeof(StrongDigest);

// An entry as read from a blob (its name a view into it) or as written.
struct StoredEntry {
    std::string_view name;         // native bytes
    FileState state;               // a regular file's
    int64_t used = 0;              // the day (since 1970) either digest was last used
    bool has[2] = {false, false};  // by EDigestKind
    Md5Digest digest[2]{};
    StrongDigest strong{};  // with the full digest
};

// A folder's part of a row: the folder (native bytes) and its entries, views into the blob.
struct StoredSection {
    std::string_view folder;
    std::string_view entries;
};

// The folder whose section holds the entry of the file at `path`: the text before its last
// separator ("" for a file directly below the root, and for a path without separator).
std::u16string_view SectionFolderOf(std::u16string_view path);

template <size_t Bytes>
char* PutNumber(char* at, uint64_t value)
{
    for (size_t i = 0; i < Bytes; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    return at + Bytes;
}
uint64_t GetNumber(const char* at, size_t bytes);

// Appends an entry of the file named `name` in `state`, used on day `used`, holding the digests
// given (at least one; `strong` goes with `full`). Inlined: a save writes one for every file.
[[gnu::always_inline]] inline void AppendEntry(std::string& blob, std::string_view name, const FileState& state, int64_t used,
                                               const Md5Digest* quick, const Md5Digest* full, const StrongDigest* strong)
{
    const size_t start = blob.size();
    blob.resize(start + kEntryFixedBytes + name.size() + (quick ? kQuickBytes : 0) + (full ? kFullBytes : 0));
    char* at = blob.data() + start;
    at = PutNumber<1>(at, (quick ? 1u : 0u) | (full ? 2u : 0u));
    at = PutNumber<2>(at, name.size());
    at = std::copy(name.begin(), name.end(), at);
    for (const uint64_t number : {state.identity.device, state.identity.inode, state.size, state.lastWrite, state.changeTime})
        at = PutNumber<8>(at, number);
    at = PutNumber<4>(at, static_cast<uint64_t>(used));
    if (quick)
        at = std::copy(quick->begin(), quick->end(), at);
    if (full)
        std::copy(strong->begin(), strong->end(), std::copy(full->begin(), full->end(), at));
}
inline void AppendEntry(std::string& blob, const StoredEntry& entry)
{
    AppendEntry(blob, entry.name, entry.state, entry.used, entry.has[0] ? &entry.digest[0] : nullptr,
                entry.has[1] ? &entry.digest[1] : nullptr, &entry.strong);
}

// The entries of a section, as views into it; false when the bytes are not whole entries.
bool ParseEntries(std::string_view entries, std::vector<StoredEntry>& parsed);

// The sections of the row `key`; false when the row is damaged: no section, a part cut short, a
// section without entries, a first folder that is not the key, or folders out of order.
bool ParseSections(std::string_view key, std::string_view blob, std::vector<StoredSection>& sections);

// Appends the row's checksum to a blob of sections made for the row `key`.
void SealRow(std::string_view key, std::string& blob);
// The sections of a stored blob, without the checksum; false when the checksum does not match.
bool UnsealRow(std::string_view key, std::string_view stored, std::string_view& sections);

// Writing a section into a row: BeginSection writes the folder and returns where the section
// starts; the entries are appended; EndSection writes their length, or takes the section out again
// when no entry was appended (and returns false).
size_t BeginSection(std::string& blob, std::string_view folder);
bool EndSection(std::string& blob, size_t start);
