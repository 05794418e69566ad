#pragma once
// Reading a file's digest: the one routine that reads a file for its MD5 on the calling thread.
// CDigestLanes reads many at once by the same rules; CPhaseDigests decides when a file is read.
#include <cstdint>
#include <string_view>

#include "engine/DigestKind.h"
#include "engine/Md5.h"
#include "engine/Sha256.h"
#include "platform/FileSystem.h"

// Largest amount digested between two looks at the stop flag.
constexpr uint64_t kDigestStep = 65536;

// Reads exactly `count` bytes into `buffer`; false on a read error or when the file ends first.
// Any thread, one reader per thread at a time.
bool ReadExactly(IFileReader& reader, uint8_t* buffer, size_t count);

// The MD5 of the first min(limit, size) bytes of the file at `path` (all of it when limit is 0),
// and in `bytes` how many bytes that is. Reads through g_fileSystem in steps of at most kDigestStep
// bytes and looks at the stop flag before every step but the first, so a digest of at most one
// step never stops. Returns false, leaving the digest unspecified, when the file cannot be opened,
// is empty, ends before the selected bytes were read (it shrank), fails to read, or a stop was
// requested. With `strong`, also the SHA-256 of the same bytes, from the same read, into it.
// Safe to call on any thread as long as the file system in use is.
bool ComputeDigest(std::u16string_view path, uint64_t limit, Md5Digest& digest, uint64_t& bytes, StrongDigest* strong = nullptr);
