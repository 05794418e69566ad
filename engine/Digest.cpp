#include "engine/Digest.h"

#include <memory>

#include "engine/Catalogue.h"

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

bool ComputeDigest(std::u16string_view path, uint64_t limit, Md5Digest& digest, uint64_t& bytes, StrongDigest* strong)
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
    std::unique_ptr<CSha256> sha = strong ? std::make_unique<CSha256>() : nullptr;
    for (bool first = true; remaining > 0; first = false) {
        if (!first && StopRequested())
            return false;
        const size_t step = static_cast<size_t>(remaining < kDigestStep ? remaining : kDigestStep);
        if (!ReadExactly(*reader, buffer, step))
            return false;
        md5.Update(buffer, step);
        if (sha)
            sha->Update(buffer, step);
        remaining -= step;
    }
    digest = md5.Final();
    if (sha)
        *strong = sha->Final();
    return true;
}
