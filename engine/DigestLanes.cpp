#include "engine/DigestLanes.h"

#include <algorithm>
#include <chrono>

#include "engine/Catalogue.h"
#include "engine/Digest.h"

namespace {

// A first read slower than this waited for the disk: the page cache does not hold the file.
constexpr std::chrono::microseconds kColdRead{500};

// The read buffers of each digesting thread, one step per lane, reused for every file.
uint8_t* LaneBuffers()
{
    thread_local std::unique_ptr<uint8_t[]> buffers(new uint8_t[CMd5Lanes::kLanes * kDigestStep]);
    return buffers.get();
}

}  // namespace

CDigestLanes::CDigestLanes(std::vector<DigestJob*>& jobs, std::atomic<size_t>& next, uint64_t limit, bool skipAfterStop,
                           std::atomic<size_t>& waited)
    : m_jobs(jobs), m_next(next), m_limit(limit), m_skipAfterStop(skipAfterStop), m_waited(waited), m_buffers(LaneBuffers())
{
    if (m_limit == 0)
        for (auto& strong : m_strong)
            strong = std::make_unique<CSha256>();
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
            if (m_strong[lane])
                slot.job->strong = m_strong[lane]->Final();
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
        // The paths lie scattered in memory: the one of a job a few places on is fetched now.
        if (i + 4 < m_jobs.size()) {
            const std::u16string_view ahead = m_jobs[i + 4]->path;
            for (size_t offset = 0; offset < ahead.size() * sizeof(char16_t); offset += 64)
                __builtin_prefetch(reinterpret_cast<const char*>(ahead.data()) + offset);
        }
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
            if (m_strong[lane])
                m_strong[lane]->Reset();
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
    if (m_strong[lane])
        m_strong[lane]->Update(buffer, step);
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
