#include "engine/DigestLanes.h"

#include <algorithm>
#include <chrono>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/DigestPool.h"

namespace {

// A first read slower than this waited for the disk: the page cache does not hold the files.
constexpr std::chrono::microseconds kColdRead{500};
// Files each thread opens ahead of its lanes once the disk is found cold, and how much of each
// it asks the system to read meanwhile: enough reads in flight to keep the disk's queue full, and
// of each file what a plain read would have brought in (the system's usual read-ahead), so that a
// small file is read from the disk once for both its digests.
constexpr size_t kOpenAhead = 32;
constexpr uint64_t kWillNeedBytes = 128 << 10;

// The read buffers of each digesting thread, one step per lane, reused for every file.
uint8_t* LaneBuffers()
{
    thread_local std::unique_ptr<uint8_t[]> buffers(new uint8_t[CMd5Lanes::kLanes * kDigestStep]);
    return buffers.get();
}

} // namespace

void CDigestLanes::ComputeAll(std::vector<DigestJob>& jobs, uint64_t limit, bool skipAfterStop)
{
    if (jobs.empty())
        return;
    std::vector<DigestJob*> order;
    order.reserve(jobs.size());
    for (DigestJob& job : jobs)
        order.push_back(&job);
    std::stable_sort(order.begin(), order.end(), [](const DigestJob* a, const DigestJob* b) { return a->expected > b->expected; });
    std::atomic<size_t> next{0};
    CDigestPool& pool = CDigestPool::Instance();
    pool.Run(std::min(pool.Threads(), jobs.size()), [&](size_t) {
        CDigestLanes lanes(order, next, limit, skipAfterStop);
        lanes.Work();
    });
}

CDigestLanes::CDigestLanes(std::vector<DigestJob*>& jobs, std::atomic<size_t>& next, uint64_t limit, bool skipAfterStop)
    : m_jobs(jobs), m_next(next), m_limit(limit), m_skipAfterStop(skipAfterStop), m_buffers(LaneBuffers())
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
        Opened next;
        const bool openedAhead = !m_ahead.empty();
        if (openedAhead) {
            next = std::move(m_ahead.front());
            m_ahead.pop_front();
        } else {
            const size_t i = m_next.fetch_add(1);
            if (i >= m_jobs.size())
                return;
            next.job = m_jobs[i];
        }
        if (m_skipAfterStop && StopRequested())
            continue;  // never asked for: the phase stops at its next look at the flag
        if (!openedAhead)
            next.reader = g_fileSystem->OpenFile(next.job->path);
        const bool begun = Begin(lane, *next.job, std::move(next.reader));
        OpenAhead();
        if (begun)
            return;
    }
}

void CDigestLanes::OpenAhead()
{
    if (!m_coldDisk || (m_skipAfterStop && StopRequested()))
        return;
    while (m_ahead.size() < kOpenAhead) {
        const size_t i = m_next.fetch_add(1);
        if (i >= m_jobs.size())
            return;
        Opened& opened = m_ahead.emplace_back();
        opened.job = m_jobs[i];
        opened.reader = g_fileSystem->OpenFile(opened.job->path);
        if (opened.reader)
            opened.reader->WillNeed(std::min(opened.reader->Size(), kWillNeedBytes));
    }
}

// Begins the job with its file opened (`reader`; null when it could not be opened) and queues
// its first step; false (the job failed) when the file could not be opened, is empty or cannot
// be read.
bool CDigestLanes::Begin(size_t lane, DigestJob& job, std::unique_ptr<IFileReader> reader)
{
    Slot& slot = m_slots[lane];
    slot.job = &job;
    slot.finished = false;
    job.computed = true;
    slot.reader = std::move(reader);
    if (slot.reader) {
        const uint64_t size = slot.reader->Size();
        if (size != 0) {
            slot.remaining = m_limit != 0 && m_limit < size ? m_limit : size;
            job.bytes = slot.remaining;
            m_lanes.Start(lane);
            const auto start = std::chrono::steady_clock::now();
            const bool read = ReadStep(lane);
            if (!m_coldDisk && std::chrono::steady_clock::now() - start > kColdRead)
                m_coldDisk = true;
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
