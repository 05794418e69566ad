#include "engine/EarlyStoredDigests.h"

#include "engine/Catalogue.h"
#include "engine/DigestCache.h"
#include "engine/DigestPool.h"

namespace {

// Records looked up at a time: a batch reads the rows of about a hundred folders, while the scan
// lists the next ones.
constexpr size_t kBatchRecords = 1024;

}  // namespace

void CEarlyStoredDigests::Listed(size_t index)
{
    if (!m_reading)
        return;
    // Every record is looked up, those alone in their size too: a folder's entries are read once,
    // and whether a record shares its size is known only when the scan ends.
    const CFileRecord& record = g_fileList[index];
    m_waiting.push_back(IDigestStore::Wanted{record.path.view(), record.folder});
    m_waitingIndices.push_back(static_cast<uint32_t>(index));
    if (m_waiting.size() >= kBatchRecords && (!m_running || CDigestPool::Instance().HelpersDone()))
        Launch();
}

void CEarlyStoredDigests::EndScan()
{
    if (m_reading && !StopRequested() && !m_waiting.empty())
        Launch();
    FinishBatch();
    m_reading = false;
    m_waiting = decltype(m_waiting)();
    m_waitingIndices = decltype(m_waitingIndices)();
    m_batch = decltype(m_batch)();
    m_batchIndices = decltype(m_batchIndices)();
    m_found = decltype(m_found)();
    m_list = g_fileList.data();
    m_listed = g_fileList.size();
}

void CEarlyStoredDigests::HandOver()
{
    const bool sameList = m_list && g_fileList.data() == m_list && g_fileList.size() == m_listed;
    for (const EDigestKind kind : kKinds) {
        std::vector<std::vector<CFileRecord>> entries = std::move(m_entries[static_cast<int>(kind)]);
        if (!sameList)
            continue;
        for (std::vector<CFileRecord>& part : entries)
            for (CFileRecord& entry : part)
                entry.path = g_fileList[entry.listPosition].path;
        CacheOf(kind).Hold(std::move(entries));
    }
    m_list = nullptr;
}

void CEarlyStoredDigests::Launch()
{
    FinishBatch();
    m_batch.swap(m_waiting);
    m_batchIndices.swap(m_waitingIndices);
    m_waiting.clear();
    m_waitingIndices.clear();
    CDigestPool::Instance().Start(1, [this](size_t) { ReadBatch(); });
    m_running = true;
}

void CEarlyStoredDigests::FinishBatch()
{
    if (!m_running)
        return;
    CDigestPool::Instance().Finish();
    m_running = false;
}

void CEarlyStoredDigests::ReadBatch()
{
    m_found.clear();
    m_store.Load(kBothKinds, m_batch, m_found);
    size_t count[2] = {0, 0};
    for (const IDigestStore::Found& found : m_found)
        ++count[static_cast<int>(found.kind)];
    for (int kind = 0; kind < 2; ++kind) {
        if (count[kind] == 0)
            continue;
        std::vector<CFileRecord>& part = m_entries[kind].emplace_back();
        part.reserve(count[kind]);
        for (const IDigestStore::Found& found : m_found) {
            if (static_cast<int>(found.kind) == kind) {
                CFileRecord& entry = part.emplace_back(found.entry);
                entry.listPosition = m_batchIndices[found.wanted];
            }
        }
    }
}
