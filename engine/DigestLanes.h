#pragma once
// Digests of many files at once: every digest thread keeps up to eight files in flight, one per
// lane of CMd5Lanes, and gives a lane the next file as soon as its file is done, so that the lanes
// stay full across files of unequal length. Each file is read and checked exactly as
// ComputeDigest reads and checks it (the same steps, the same stop checks, the same failures), so
// every outcome is the one ComputeDigest would give. CDigestBatch runs it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/Md5Lanes.h"
#include "engine/Sha256.h"
#include "platform/FileSystem.h"

// One file to digest and its outcome.
struct DigestJob {
    std::u16string_view path;
    uint64_t expected = 0;   // about how many bytes the digest covers: the largest files begin first
    bool computed = false;   // the digest was tried (false: skipped after a stop request)
    bool succeeded = false;  // and made: `digest` holds it
    uint64_t bytes = 0;      // bytes the digest covers
    Md5Digest digest{};
    StrongDigest strong{};  // of a whole file (limit 0): its SHA-256, from the same read
};

// The work of one digest thread within a CDigestBatch, which runs one on every thread.
class CDigestLanes {
private:
    friend class CDigestBatch;
    struct Slot {
        DigestJob* job = nullptr;
        std::unique_ptr<IFileReader> reader;
        uint64_t remaining = 0;  // bytes still to read
        bool finished = false;   // the last bytes and the padding are queued
    };

    CDigestLanes(std::vector<DigestJob*>& jobs, std::atomic<size_t>& next, uint64_t limit, bool skipAfterStop,
                 std::atomic<size_t>& waited);
    // The work of one thread: takes jobs until none is left and every lane is done.
    void Work();
    // Gives an idle lane its next step: the next bytes of its file, or the next file.
    void Refill(size_t lane);
    bool Begin(size_t lane, DigestJob& job);
    bool ReadStep(size_t lane);
    void End(size_t lane, bool succeeded);

    std::vector<DigestJob*>& m_jobs;  // in the order they begin
    std::atomic<size_t>& m_next;      // the first job no thread has taken
    const uint64_t m_limit;
    const bool m_skipAfterStop;
    CMd5Lanes m_lanes;
    Slot m_slots[CMd5Lanes::kLanes];
    // Of whole files (limit 0), the SHA-256 of each lane's file, fed the same steps.
    std::unique_ptr<CSha256> m_strong[CMd5Lanes::kLanes];
    std::atomic<size_t>& m_waited;  // first reads that waited for the disk
    uint8_t* m_buffers;             // one read step per lane, this thread's
};
