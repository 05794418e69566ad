#pragma once
// What the digest threads do for a search while its folder scan lists files, instead of waiting for
// it. A run chooses at most one companion when its scan begins (see SearchThreadProc), and owns it
// until its grouping phase has taken what the companion made:
// - CEarlyStoredDigests reads the store on disk for the listed records, when the store holds
//   entries and memory none (the first search of a process);
// - CEarlyDigests takes the quick digests of records whose size was listed before, when nothing
//   could answer for them (memory and store hold nothing);
// - none when memory holds entries (a repeated search answers from memory).
// Both hand their work to the digest pool, which runs one caller's tasks at a time: one companion
// per run keeps them from ever asking it at once. Used on the search worker only.
#include <cstddef>
#include <cstdint>

#include "engine/FileRecord.h"

// What became of the early quick digest of a record: none taken, taken (the digest is in the
// record), or failed.
enum class EEarlyDigest : uint8_t { None, Digested, Failed };

class IScanCompanion {
public:
    virtual ~IScanCompanion() = default;
    // The scan appended a record to g_fileList at `index`.
    virtual void Listed(size_t index) = 0;
    // The scan ended, also after a stop: finishes the work under way and begins no more.
    virtual void EndScan() = 0;
    // For the grouping phase, once the listing is numbered and matched against the last one: what
    // was read from the store becomes the caches' held entries.
    virtual void HandOver() {}
    // For the grouping phase's quick digests: the early digest of a record of g_fileList, found at
    // its listPosition (its place in the scan); None once the list is not the one the scan made.
    virtual EEarlyDigest EarlyDigest(const CFileRecord& record) const
    {
        (void)record;
        return EEarlyDigest::None;
    }
};
