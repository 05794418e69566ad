#pragma once
// Quick digests taken while the folder scan still runs, on the digest threads that would otherwise
// wait for it. A record is digested early when a record of its size was listed before it: the
// grouping phase will ask for its quick digest whatever else the scan finds. The first record of
// each size is left to the grouping phase, which reads it only when a later one could be read, and
// so is a record of a file listed before under another path (the grouping phase reads a file once
// for all its records).
// A run takes early digests only when nothing could answer for its records (the caches in memory
// and the store on disk hold none), so each is the digest the grouping phase would compute itself,
// only sooner. Used on the search worker only.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DigestBatch.h"
#include "engine/SameFileDigests.h"
#include "engine/ScanCompanion.h"

class CEarlyDigests final : public IScanCompanion {
public:
    CEarlyDigests() = default;
    ~CEarlyDigests() override = default;  // a batch under way is finished first (~CDigestBatch)
    CEarlyDigests(const CEarlyDigests&) = delete;
    CEarlyDigests& operator=(const CEarlyDigests&) = delete;

    void Listed(size_t index) override;
    void EndScan() override;
    EEarlyDigest EarlyDigest(const CFileRecord& record) const override
    {
        if (record.listPosition >= m_outcomes.size() || g_fileList.data() != m_list || g_fileList.size() != m_listed)
            return EEarlyDigest::None;
        return m_outcomes[record.listPosition];
    }

private:
    // Whether a record of this size was listed before; notes it.
    bool SeenBefore(uint64_t size);
    // Hands the records waiting to the digest threads, once the batch before them is done.
    void Launch();
    // Writes the finished batch's digests into their records.
    void Collect();

    std::vector<uint64_t> m_sizes;  // the sizes listed so far: open addressing, size + 1 in each used slot
    size_t m_sizesUsed = 0;
    CListedFiles m_files;                  // the files listed so far
    std::vector<uint32_t> m_waiting;       // records to digest, not begun yet
    std::vector<uint32_t> m_batchRecords;  // the records of the batch under way
    std::vector<DigestJob> m_batchJobs;
    std::unique_ptr<CDigestBatch> m_batch;
    std::vector<EEarlyDigest> m_outcomes;  // by index in g_fileList
    const CFileRecord* m_list = nullptr;   // g_fileList as the scan left it
    size_t m_listed = 0;
};
