#include "engine/DigestBatch.h"

#include <algorithm>
#include <system_error>

#include "engine/Catalogue.h"
#include "engine/DigestPool.h"
#include "platform/StorageReads.h"

namespace {

// The disk counts as cold when one first read in sixteen (and at least four) waited for it
// (CDigestLanes counts them); a busy machine makes a few reads slow without any disk. A machine busy
// enough makes many slow, so the system must also have fetched this much from storage for the
// process meanwhile (where it tells): the page cache held the files otherwise.
constexpr size_t kColdReadShare = 16;
constexpr size_t kColdReadsAtLeast = 4;
constexpr uint64_t kColdStorageBytes = 256 << 10;
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

}  // namespace

CDigestBatch::CDigestBatch(std::vector<DigestJob>& jobs, uint64_t limit, bool skipAfterStop)
    : m_limit(limit), m_skipAfterStop(skipAfterStop)
{
    if (jobs.empty()) {
        m_finished = true;
        return;
    }
    m_order.reserve(jobs.size());
    for (DigestJob& job : jobs)
        m_order.push_back(&job);
    std::stable_sort(m_order.begin(), m_order.end(),
                     [](const DigestJob* a, const DigestJob* b) { return a->expected > b->expected; });
    m_storageBefore = StorageBytesRead();
    if (s_coldDisk.load()) {
        try {
            for (size_t k = 0; k < kReadAheadThreads; ++k)
                m_readAhead.emplace_back(ReadAhead, std::cref(m_order), std::cref(m_next), std::ref(m_readAheadCursor),
                                         std::cref(m_done));
        } catch (const std::system_error&) {
            // No more threads now: the digests go on without reading ahead.
        }
    }
    CDigestPool& pool = CDigestPool::Instance();
    pool.Start(std::min(pool.Threads(), jobs.size()), [this](size_t) {
        CDigestLanes lanes(m_order, m_next, m_limit, m_skipAfterStop, m_waited);
        lanes.Work();
    });
}

void CDigestBatch::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    CDigestPool::Instance().Finish();
    m_done.store(true);
    for (std::thread& thread : m_readAhead)
        thread.join();
    const bool slowReads = m_waited.load() >= std::max(kColdReadsAtLeast, m_order.size() / kColdReadShare);
    const std::optional<uint64_t> storageAfter = slowReads ? StorageBytesRead() : std::nullopt;
    const bool fromStorage = !m_storageBefore || !storageAfter || *storageAfter >= *m_storageBefore + kColdStorageBytes;
    s_coldDisk.store(slowReads && fromStorage);
}

bool CDigestBatch::Done() const
{
    return m_finished || CDigestPool::Instance().HelpersDone();
}
