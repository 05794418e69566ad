#include "engine/EarlyDigests.h"

#include <algorithm>
#include <utility>

#include "engine/Catalogue.h"
#include "engine/Digest.h"

namespace {

// Records handed to the digest threads at a time: enough to keep them busy while the scan lists
// the next ones.
constexpr size_t kBatchRecords = 1024;

}  // namespace

void CEarlyDigests::Listed(size_t index)
{
    const CFileRecord& record = g_fileList[index];
    const bool firstOfItsFile = m_files.Insert(record.identity);
    if (!SeenBefore(record.size) || !firstOfItsFile)
        return;
    m_waiting.push_back(static_cast<uint32_t>(index));
    if (m_waiting.size() >= kBatchRecords && (!m_batch || m_batch->Done()))
        Launch();
}

bool CEarlyDigests::SeenBefore(uint64_t size)
{
    if (2 * (m_sizesUsed + 1) > m_sizes.size()) {
        std::vector<uint64_t> old(std::max<size_t>(1024, 2 * m_sizes.size()), 0);
        old.swap(m_sizes);
        m_sizesUsed = 0;
        for (const uint64_t kept : old)
            if (kept != 0)
                SeenBefore(kept - 1);
    }
    const size_t mask = m_sizes.size() - 1;
    for (size_t slot = (size * 0x9e3779b97f4a7c15ull) >> 20 & mask;; slot = (slot + 1) & mask) {
        if (m_sizes[slot] == size + 1)
            return true;
        if (m_sizes[slot] == 0) {
            m_sizes[slot] = size + 1;
            ++m_sizesUsed;
            return false;
        }
    }
}

void CEarlyDigests::EndScan()
{
    if (m_batch) {
        m_batch->Finish();
        Collect();
    }
    m_waiting = decltype(m_waiting)();
    m_batchRecords = decltype(m_batchRecords)();
    m_batchJobs = decltype(m_batchJobs)();
    m_sizes = decltype(m_sizes)();
    m_sizesUsed = 0;
    m_files = CListedFiles();
    m_list = g_fileList.data();
    m_listed = g_fileList.size();
}

void CEarlyDigests::Launch()
{
    if (m_batch) {
        m_batch->Finish();
        Collect();
    }
    m_batchRecords.swap(m_waiting);
    m_waiting.clear();
    m_batchJobs.assign(m_batchRecords.size(), DigestJob{});
    for (size_t k = 0; k < m_batchRecords.size(); ++k) {
        // The view stays valid while the scan goes on: records move when the list grows, their
        // path texts do not.
        const CFileRecord& record = g_fileList[m_batchRecords[k]];
        m_batchJobs[k].path = record.path;
        m_batchJobs[k].expected = std::min(record.size, kQuickDigestBytes);
    }
    m_batch = std::make_unique<CDigestBatch>(m_batchJobs, kQuickDigestBytes, true);
}

void CEarlyDigests::Collect()
{
    m_batch.reset();
    for (size_t k = 0; k < m_batchRecords.size(); ++k) {
        const DigestJob& job = m_batchJobs[k];
        if (!job.computed)
            continue;  // skipped after a stop request
        const size_t index = m_batchRecords[k];
        if (m_outcomes.size() <= index)
            m_outcomes.resize(std::max(index + 1, m_outcomes.size() * 2), EEarlyDigest::None);
        m_outcomes[index] = job.succeeded ? EEarlyDigest::Digested : EEarlyDigest::Failed;
        if (job.succeeded)
            g_fileList[index].digest = job.digest;
    }
    m_batchRecords.clear();
    m_batchJobs.clear();
}
