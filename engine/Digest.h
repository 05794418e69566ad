#pragma once
// File content digests (MD5) with per-path caches. Called on the search worker only.
#include <cstdint>
#include <string_view>

#include "engine/Catalogue.h"
#include "engine/FileRecord.h"

// Largest amount digested between two looks at the stop flag.
constexpr uint64_t kDigestStep = 65536;
// Bytes covered by the quick digest.
constexpr uint64_t kQuickDigestBytes = 1024;

// Reads exactly `count` bytes into `buffer`; false on a read error or when the file ends first.
// Any thread, one reader per thread at a time.
bool ReadExactly(IFileReader& reader, uint8_t* buffer, size_t count);

// Computes the MD5 of the first min(limit, size) bytes of the file at `path` (the whole file when
// limit is 0) into record.digest; no other field changes. Reads in steps of at most kDigestStep
// bytes and looks at the stop flag before every step but the first, so a digest of at most one
// step never stops. Returns false, leaving the digest unspecified, when the file cannot be
// opened, is empty, ends before the selected bytes were read (it shrank), fails to read, or a
// stop was requested.
bool DigestFile(std::u16string_view path, CFileRecord& record, uint64_t limit);

// The digest of the file's first min(limit, size) bytes (all of it when limit is 0), and in
// `bytes` how many bytes that is. The same rules and failures as DigestFile. Safe to call on any
// thread as long as the file system in use is.
bool ComputeDigest(std::u16string_view path, uint64_t limit, Md5Digest& digest, uint64_t& bytes);

// Whether a digest cached under the listed record's path may stand for the file the scan listed:
// the same file (device and inode), with the same size, last-write time and change time. The
// change time moves with every write and every replacement, and no user tool can set it back, so
// a file rewritten with its old size and time, or replaced by a copy made with `cp -p`, fails the
// rule. Every cache the engine reads, in memory or on disk, asks this.
bool CachedDigestFits(const CFileRecord& cached, const CFileRecord& listed);

// GetQuickDigest / GetFullDigest on the given cache with the given limit.
bool GetCachedDigest(DigestCache& cache, CFileRecord& record, uint64_t limit);

// Gives the record its quick digest (first 1024 bytes): from g_quickDigestCache when the entry
// for its path fits it (CachedDigestFits; the entry's digest is copied into it), else from the
// store on disk (g_digestStore) when its entry fits, otherwise by DigestFile, caching the result
// on success. An entry that does not fit is removed. Returns false when the digest cannot be made; nothing is cached then.
bool GetQuickDigest(CFileRecord& record);

// The same for the whole-file digest and g_fullDigestCache.
bool GetFullDigest(CFileRecord& record);
