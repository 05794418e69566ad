#include "engine/StoreCodec.h"

#include <algorithm>
#include <cstring>

#include "engine/Crc32c.h"
#include "platform/PathRules.h"

std::u16string_view SectionFolderOf(std::u16string_view path)
{
    const std::u16string_view folder = FolderViewOfPath(path);
    return folder.size() == 1 && folder.front() == kPathSeparator ? std::u16string_view() : folder;
}

uint64_t GetNumber(const char* at, size_t bytes)
{
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= static_cast<uint64_t>(static_cast<unsigned char>(at[i])) << (8 * i);
    return value;
}

bool ParseEntries(std::string_view entries, std::vector<StoredEntry>& parsed)
{
    parsed.clear();
    size_t at = 0;
    while (at < entries.size()) {
        if (entries.size() - at < kEntryFixedBytes)
            return false;
        StoredEntry& entry = parsed.emplace_back();
        const uint64_t kinds = GetNumber(entries.data() + at, 1);
        const size_t nameBytes = GetNumber(entries.data() + at + 1, 2);
        entry.has[0] = (kinds & 1) != 0;
        entry.has[1] = (kinds & 2) != 0;
        const size_t bytes = kEntryFixedBytes + nameBytes + (entry.has[0] ? kQuickBytes : 0) + (entry.has[1] ? kFullBytes : 0);
        if (kinds == 0 || kinds > 3 || nameBytes == 0 || entries.size() - at < bytes)
            return false;
        entry.name = entries.substr(at + 3, nameBytes);
        const char* number = entries.data() + at + 3 + nameBytes;
        for (uint64_t* field : {&entry.state.identity.device, &entry.state.identity.inode, &entry.state.size,
                                &entry.state.lastWrite, &entry.state.changeTime}) {
            *field = GetNumber(number, 8);
            number += 8;
        }
        entry.used = static_cast<int64_t>(GetNumber(number, 4));
        number += 4;
        for (int kind = 0; kind < 2; ++kind) {
            if (entry.has[kind]) {
                std::memcpy(entry.digest[kind].data(), number, sizeof(Md5Digest));
                number += sizeof(Md5Digest);
            }
        }
        if (entry.has[1])
            std::memcpy(entry.strong.data(), number, sizeof(StrongDigest));
        at += bytes;
    }
    return true;
}

bool ParseSections(std::string_view key, std::string_view blob, std::vector<StoredSection>& sections)
{
    sections.clear();
    size_t at = 0;
    const auto take = [&](std::string_view& part) {
        if (blob.size() - at < 4)
            return false;
        const size_t bytes = GetNumber(blob.data() + at, 4);
        at += 4;
        if (blob.size() - at < bytes)
            return false;
        part = blob.substr(at, bytes);
        at += bytes;
        return true;
    };
    while (at < blob.size()) {
        StoredSection section;
        if (!take(section.folder) || !take(section.entries) || section.entries.empty())
            return false;
        if (sections.empty() ? section.folder != key : section.folder <= sections.back().folder)
            return false;
        sections.push_back(section);
    }
    return !sections.empty();
}

namespace {

uint32_t RowChecksum(std::string_view key, std::string_view sections)
{
    return Crc32c(sections.data(), sections.size(), Crc32c(key.data(), key.size()));
}

}  // namespace

void SealRow(std::string_view key, std::string& blob)
{
    const uint32_t crc = RowChecksum(key, blob);
    blob.resize(blob.size() + 4);
    PutNumber<4>(blob.data() + blob.size() - 4, crc);
}

bool UnsealRow(std::string_view key, std::string_view stored, std::string_view& sections)
{
    if (stored.size() < 4)
        return false;
    sections = stored.substr(0, stored.size() - 4);
    return GetNumber(stored.data() + sections.size(), 4) == RowChecksum(key, sections);
}

size_t BeginSection(std::string& blob, std::string_view folder)
{
    const size_t start = blob.size();
    blob.resize(start + 4);
    PutNumber<4>(blob.data() + start, folder.size());
    blob.append(folder);
    blob.resize(blob.size() + 4);
    return start;
}

bool EndSection(std::string& blob, size_t start)
{
    const size_t entriesAt = start + 4 + GetNumber(blob.data() + start, 4) + 4;
    if (blob.size() == entriesAt) {
        blob.resize(start);  // nothing left of the folder
        return false;
    }
    PutNumber<4>(blob.data() + entriesAt - 4, blob.size() - entriesAt);
    return true;
}
