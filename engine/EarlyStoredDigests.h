#pragma once
// Stored digests read while the folder scan still runs, on a digest thread that would otherwise
// wait for it. In the first search of a process the store on disk holds the digests of most files
// and the caches in memory none; reading them after the scan would keep the worker from the
// grouping phase for as long as the reading takes. Instead the records the scan lists are looked
// up, both kinds at once, in batches while the scan lists the next ones. When the grouping phase
// begins, the entries found become the caches' held entries (CDigestCache::Hold), which answer
// for their records through the listing order at once. Whether an entry may stand for a file is
// decided when it is asked for, as for any entry (an equal FileState). Used on the search worker
// only.
#include <cstdint>
#include <vector>

#include "engine/DigestStore.h"
#include "engine/FileRecord.h"
#include "engine/ScanCompanion.h"

class CEarlyStoredDigests final : public IScanCompanion {
public:
    // Reads `store`, which must hold entries and outlive this.
    explicit CEarlyStoredDigests(IDigestStore& store) : m_store(store) {}
    // Waits for the reading under way.
    ~CEarlyStoredDigests() override { FinishBatch(); }
    CEarlyStoredDigests(const CEarlyStoredDigests&) = delete;
    CEarlyStoredDigests& operator=(const CEarlyStoredDigests&) = delete;

    void Listed(size_t index) override;
    // Reads what is left to read (nothing more after a stop request) and waits for the reading
    // under way.
    void EndScan() override;
    // The entries read become the caches' held entries, when the caches still hold none and
    // g_fileList is the list the scan made. Forgets them in any case.
    void HandOver() override;

private:
    // The records waiting are handed to a digest thread, once the batch before them is done.
    void Launch();
    // Waits for the batch under way.
    void FinishBatch();
    // On the digest thread: looks the batch's records up and keeps what the store has for them.
    void ReadBatch();

    IDigestStore& m_store;
    bool m_reading = true;  // until the scan ends
    // The records to look up: their paths (whose texts stay where they are while the scan goes on)
    // and their places in g_fileList.
    std::vector<IDigestStore::Wanted> m_waiting;
    std::vector<uint32_t> m_waitingIndices;
    std::vector<IDigestStore::Wanted> m_batch;  // the batch under way
    std::vector<uint32_t> m_batchIndices;
    bool m_running = false;
    // Written by the batch under way only, read by the worker once no batch runs: the entries
    // found, by EDigestKind, each with its record's place in g_fileList as its listPosition and
    // no path yet; a part for each batch, of just its size.
    std::vector<IDigestStore::Found> m_found;
    std::vector<std::vector<CFileRecord>> m_entries[2];
    const CFileRecord* m_list = nullptr;  // g_fileList as the scan left it
    size_t m_listed = 0;
};
