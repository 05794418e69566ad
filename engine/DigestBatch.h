#pragma once
// The digests of a batch of jobs, begun in the background: every digest thread keeps up to eight
// files in flight (CDigestLanes), each file read as ComputeDigest(job.path, limit, ...) would read
// it, with its outcome. The search worker starts a batch, does other work while the pool's helpers
// digest, and joins them when it finishes the batch. When the last batch's reads waited for the
// disk, a few more threads meanwhile ask the system to read the files not begun yet (they only
// hint, never open files).
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "engine/DigestLanes.h"

class CDigestBatch {
public:
    // Begins the digests of every job on the digest pool's helpers, the files in the order of their
    // expected bytes, largest first, so that no long file is left to digest alone at the end. With
    // `skipAfterStop`, a job not yet begun when a stop is requested is left not computed. The jobs
    // and their paths must stay as they are until Finish, and the pool runs nothing else meanwhile.
    // Writes only the jobs' outcome fields. Search worker only.
    CDigestBatch(std::vector<DigestJob>& jobs, uint64_t limit, bool skipAfterStop);
    // Takes part in the digests until every job is done; the jobs' outcome fields are then written.
    // Called again, does nothing.
    void Finish();
    // Whether Finish would find the digests done (without waiting).
    bool Done() const;
    ~CDigestBatch() { Finish(); }
    CDigestBatch(const CDigestBatch&) = delete;
    CDigestBatch& operator=(const CDigestBatch&) = delete;

private:
    std::vector<DigestJob*> m_order;  // the jobs in the order they begin
    const uint64_t m_limit;
    const bool m_skipAfterStop;
    std::atomic<size_t> m_next{0};    // the first job no thread has taken
    std::atomic<size_t> m_waited{0};  // first reads that waited for the disk
    std::atomic<size_t> m_readAheadCursor{0};
    std::atomic<bool> m_done{false};
    std::optional<uint64_t> m_storageBefore;  // the process's bytes read from storage when it began
    std::vector<std::thread> m_readAhead;
    bool m_finished = false;
};
