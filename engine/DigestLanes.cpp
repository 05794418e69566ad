#include "engine/DigestLanes.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/DigestPool.h"

namespace {

// A first read slower than this waited for the disk: the page cache does not hold the file. The
// disk counts as cold when one read in sixteen (and at least four) waited; a busy machine makes a
// few reads slow without any disk.
constexpr std::chrono::microseconds kColdRead{500};
constexpr size_t kColdReadShare = 16;
constexpr size_t kColdReadsAtLeast = 4;
// While the disk is cold, threads that only ask the system to read the next files keep this many
// more reads in flight beside the digest threads' own; of each file they ask for what a plain read
// would have brought in (the system's usual read-ahead), so that a small file comes from the disk
// once for both its digests. Asking can wait as long as a read, hence threads rather than hints
// from the digest threads alone.
constexpr size_t kReadAheadThreads = 6;
constexpr uint64_t kReadAheadBytes = 128 << 10;

// Whether the last digests had to wait for the disk: then the next ones read ahead.
std::atomic<bool> s_coldDisk{false};

// The work of a read-ahead thread: asks the system to read the files the digest threads have not
// begun yet, in their order, until the digests are done or a stop is requested.
void ReadAhead(const std::vector<DigestJob*>& order, const std::atomic<size_t>& begun, std::atomic<size_t>& cursor,
               const std::atomic<bool>& done)
{
    while (!done.load() && !StopRequested()) {
        size_t i = cursor.fetch_add(1);
        const size_t first = begun.load();
        if (i < first) {
            ++i;
            cursor.compare_exchange_strong(i, first);  // the digest threads are ahead: jump past them
            continue;
        }
        if (i >= order.size())
            return;
        g_fileSystem->WillRead(order[i]->path, kReadAheadBytes);
    }
}

// The read buffers of each digesting thread, one step per lane, reused for every file.
uint8_t* LaneBuffers()
{
    thread_local std::unique_ptr<uint8_t[]> buffers(new uint8_t[CMd5Lanes::kLanes * kDigestStep]);
    return buffers.get();
}

}  // namespace

void CDigestLanes::ComputeAll(std::vector<DigestJob>& jobs, uint64_t limit, bool skipAfterStop)
{
    if (jobs.empty())
        return;
    std::vector<DigestJob*> order;
    order.reserve(jobs.size());
    for (DigestJob& job : jobs)
        order.push_back(&job);
    std::stable_sort(order.begin(), order.end(),
                     [](const DigestJob* a, const DigestJob* b) { return a->expected > b->expected; });
    std::atomic<size_t> next{0};
    std::atomic<size_t> waited{0};
    std::atomic<size_t> readAheadCursor{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> readAhead;
    if (s_coldDisk.load()) {
        try {
            for (size_t k = 0; k < kReadAheadThreads; ++k)
                readAhead.emplace_back(ReadAhead, std::cref(order), std::cref(next), std::ref(readAheadCursor), std::cref(done));
        } catch (const std::system_error&) {
            // No more threads now: the digests go on without reading ahead.
        }
    }
    CDigestPool& pool = CDigestPool::Instance();
    pool.Run(std::min(pool.Threads(), jobs.size()), [&](size_t) {
        CDigestLanes lanes(order, next, limit, skipAfterStop, waited);
        lanes.Work();
    });
    done.store(true);
    for (std::thread& thread : readAhead)
        thread.join();
    s_coldDisk.store(waited.load() >= std::max(kColdReadsAtLeast, jobs.size() / kColdReadShare));
}

CDigestLanes::CDigestLanes(std::vector<DigestJob*>& jobs, std::atomic<size_t>& next, uint64_t limit, bool skipAfterStop,
                           std::atomic<size_t>& waited)
    : m_jobs(jobs), m_next(next), m_limit(limit), m_skipAfterStop(skipAfterStop), m_waited(waited), m_buffers(LaneBuffers())
{
}

void CDigestLanes::Work()
{
    for (;;) {
        bool busy = false;
        for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane) {
            if (!m_lanes.Busy(lane))
                Refill(lane);
            busy = busy || m_lanes.Busy(lane);
        }
        if (!busy)
            return;
        m_lanes.Run();
    }
}

void CDigestLanes::Refill(size_t lane)
{
    Slot& slot = m_slots[lane];
    if (slot.job) {
        if (slot.finished) {
            slot.job->digest = m_lanes.Digest(lane);
            End(lane, true);
        } else if (StopRequested()) {
            End(lane, false);  // the flag is read before every step but the first
        } else if (ReadStep(lane)) {
            return;
        } else {
            End(lane, false);
        }
    }
    for (;;) {
        const size_t i = m_next.fetch_add(1);
        if (i >= m_jobs.size())
            return;
        if (m_skipAfterStop && StopRequested())
            continue;  // never asked for: the phase stops at its next look at the flag
        if (Begin(lane, *m_jobs[i]))
            return;
    }
}

// Opens the job's file and queues its first step; false (the job failed) when it cannot be
// opened, is empty or cannot be read.
bool CDigestLanes::Begin(size_t lane, DigestJob& job)
{
    Slot& slot = m_slots[lane];
    slot.job = &job;
    slot.finished = false;
    job.computed = true;
    slot.reader = g_fileSystem->OpenFile(job.path);
    if (slot.reader) {
        const uint64_t size = slot.reader->Size();
        if (size != 0) {
            slot.remaining = m_limit != 0 && m_limit < size ? m_limit : size;
            job.bytes = slot.remaining;
            m_lanes.Start(lane);
            const auto start = std::chrono::steady_clock::now();
            const bool read = ReadStep(lane);
            if (std::chrono::steady_clock::now() - start > kColdRead)
                m_waited.fetch_add(1, std::memory_order_relaxed);
            if (read)
                return true;
        }
    }
    End(lane, false);
    return false;
}

// Reads the lane's next step of at most kDigestStep bytes and queues it, with the padding after
// the last one; false when the read fails or the file ends early (it shrank).
bool CDigestLanes::ReadStep(size_t lane)
{
    Slot& slot = m_slots[lane];
    uint8_t* const buffer = m_buffers + lane * kDigestStep;
    const size_t step = static_cast<size_t>(std::min(slot.remaining, kDigestStep));
    if (!ReadExactly(*slot.reader, buffer, step))
        return false;
    slot.remaining -= step;
    m_lanes.Update(lane, buffer, step);
    if (slot.remaining == 0) {
        m_lanes.Finish(lane);
        slot.finished = true;
        slot.reader.reset();
    }
    return true;
}

void CDigestLanes::End(size_t lane, bool succeeded)
{
    Slot& slot = m_slots[lane];
    slot.job->succeeded = succeeded;
    slot.job = nullptr;
    slot.reader.reset();
}
