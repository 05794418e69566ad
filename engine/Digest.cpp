#include "engine/Digest.h"

#include <memory>

#include "engine/Catalogue.h"
#include "engine/DigestStore.h"

namespace {

// The one read buffer of each digesting thread, reused for every file.
uint8_t* ReadBuffer()
{
    thread_local std::unique_ptr<uint8_t[]> buffer(new uint8_t[kDigestStep]);
    return buffer.get();
}

}  // namespace

bool ReadExactly(IFileReader& reader, uint8_t* buffer, size_t count)
{
    while (count > 0) {
        const int64_t got = reader.Read(buffer, count);
        if (got <= 0)
            return false;
        buffer += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

bool ComputeDigest(std::u16string_view path, uint64_t limit, Md5Digest& digest, uint64_t& bytes)
{
    const auto reader = g_fileSystem->OpenFile(path);
    if (!reader)
        return false;
    uint64_t remaining = reader->Size();
    if (remaining == 0)
        return false;
    if (limit != 0 && limit < remaining)
        remaining = limit;
    bytes = remaining;

    uint8_t* const buffer = ReadBuffer();
    CMd5 md5;
    for (bool first = true; remaining > 0; first = false) {
        if (!first && StopRequested())
            return false;
        const size_t step = static_cast<size_t>(remaining < kDigestStep ? remaining : kDigestStep);
        if (!ReadExactly(*reader, buffer, step))
            return false;
        md5.Update(buffer, step);
        remaining -= step;
    }
    digest = md5.Final();
    return true;
}

bool DigestFile(std::u16string_view path, CFileRecord& record, uint64_t limit)
{
    uint64_t bytes = 0;
    return ComputeDigest(path, limit, record.digest, bytes);
}

bool CachedDigestFits(const CFileRecord& cached, const CFileRecord& listed)
{
    return cached.lastWrite == listed.lastWrite && cached.changeTime == listed.changeTime && cached.size == listed.size &&
        cached.identity == listed.identity;
}

bool GetCachedDigest(DigestCache& cache, CFileRecord& record, uint64_t limit)
{
    const EDigestKind kind = limit == 0 ? EDigestKind::Full : EDigestKind::Quick;
    auto found = cache.find(record.path);
    if (found == cache.end() || !CachedDigestFits(found->second, record)) {
        LoadStoredDigests(kind, {&record});
        found = cache.find(record.path);
    }
    if (found != cache.end()) {
        const CFileRecord& cached = found->second;
        if (CachedDigestFits(cached, record)) {
            record.digest = cached.digest;
            record.size = cached.size;
            cache.NoteListed(record, cached);
            return true;
        }
        cache.erase(found);
    }
    if (!DigestFile(record.path, record, limit))
        return false;
    const auto slot = cache.insert_or_assign(record.path, record).first;
    cache.NoteListed(record, slot->second);
    NoteDigestLearned(kind, record, slot->second);
    return true;
}

bool GetQuickDigest(CFileRecord& record)
{
    return GetCachedDigest(g_quickDigestCache, record, kQuickDigestBytes);
}

bool GetFullDigest(CFileRecord& record)
{
    return GetCachedDigest(g_fullDigestCache, record, 0);
}
