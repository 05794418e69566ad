#pragma once
// Steps of a search taken one at a time, for tests that look at one of them: each goes through the
// engine's own path (the walk of a run, the one door for digests, a batch of lane digests).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DigestLanes.h"
#include "engine/FileRecord.h"

class IEngineSink;

namespace quillon::test {

// Walks one folder as a run's scan does (CFolderScan), then the folders reached through its links,
// appending to g_fileList.
void ScanFolder(const std::u16string& folder, IEngineSink* sink);

// The record's quick (first 1024 bytes) or full digest, asked through the door the phases use
// (CPhaseDigests), outside any window, as if begun now: from the cache when its entry fits, else
// from the store, else read and cached. False when the digest cannot be made.
bool GetQuickDigest(CFileRecord& record);
bool GetFullDigest(CFileRecord& record);

// ComputeDigest into record.digest.
bool DigestFile(std::u16string_view path, CFileRecord& record, uint64_t limit);

// Every job digested by one CDigestBatch, finished.
void ComputeAll(std::vector<DigestJob>& jobs, uint64_t limit, bool skipAfterStop);

}  // namespace quillon::test
