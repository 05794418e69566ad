#pragma once
// Quick digests taken while the folder scan still runs, on the digest threads that would otherwise
// wait for it. A record is digested early when a record of its size was listed before it: the
// grouping phase will ask for its quick digest whatever else the scan finds. The first record of
// each size is left to the grouping phase, which reads it only when a later one could be read.
// Early digests are taken only in a search whose digests nothing could answer (the caches in
// memory and the store on disk hold none), so each is the digest the grouping phase would compute
// itself, only sooner. Used on the search worker only.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DigestBatch.h"
#include "engine/FileRecord.h"

class CEarlyDigests {
public:
    static CEarlyDigests& Instance();

    // At the start of ScanSearchFolders: forgets the last run's digests, and takes early digests in
    // this one when the caches and the store hold nothing.
    void BeginScan();
    // The scan appended a record to g_fileList at `index`.
    void Listed(size_t index);
    // At the end of the scan, also after a stop: finishes the digests under way and begins no more.
    void EndScan();

    enum class EOutcome : uint8_t { None, Digested, Failed };
    // What became of the early digest of a record of g_fileList, found at its listPosition in the
    // grouping phase (its place in the scan): none taken, taken (the digest is in the record), or
    // failed. None once the list is no longer the one the scan made.
    EOutcome Outcome(const CFileRecord& record) const
    {
        if (record.listPosition >= m_outcomes.size() || g_fileList.data() != m_list || g_fileList.size() != m_listed)
            return EOutcome::None;
        return m_outcomes[record.listPosition];
    }
    // Forgets every early digest (when g_fileList no longer holds the records they were taken of).
    void Clear();

private:
    // Whether a record of this size was listed before; notes it.
    bool SeenBefore(uint64_t size);
    // Hands the records waiting to the digest threads, once the batch before them is done.
    void Launch();
    // Writes the finished batch's digests into their records.
    void Collect();

    bool m_active = false;
    std::vector<uint64_t> m_sizes;  // the sizes listed so far: open addressing, size + 1 in each used slot
    size_t m_sizesUsed = 0;
    std::vector<uint32_t> m_waiting;       // records to digest, not begun yet
    std::vector<uint32_t> m_batchRecords;  // the records of the batch under way
    std::vector<DigestJob> m_batchJobs;
    std::unique_ptr<CDigestBatch> m_batch;
    std::vector<EOutcome> m_outcomes;     // by index in g_fileList
    const CFileRecord* m_list = nullptr;  // g_fileList as the scan left it
    size_t m_listed = 0;
};
