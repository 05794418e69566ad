#pragma once
// Records of one file share its digests. Overlapping search folders, links to folders and hard links
// list one file under several paths; each such record would otherwise read the file again, only to
// be compared with itself. A file here is a known identity (device, inode) in one state (size,
// last-write and change time): records that agree on all of them name one file as it was seen, and
// one reading of it answers for all. Search worker only.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/FileRecord.h"
#include "engine/Sha256.h"

// Whether every record of [first, end) names one file (known identities, all equal): such a run can
// form no row, so none of its records needs a digest. `recordOf` gives the CFileRecord of an element.
template <typename Iterator, typename RecordOf>
bool AllOneFile(Iterator first, Iterator end, RecordOf recordOf)
{
    if (first == end)
        return false;
    const CFileRecord& lead = recordOf(*first);
    if (lead.identity == FileIdentity{})
        return false;
    for (Iterator other = first; ++other != end;)
        if (!SameFile(lead, recordOf(*other)))
            return false;
    return true;
}

// The records of a window that name one file, and the outcomes of the files read for several records.
class CSameFileDigests {
public:
    // What reading a file gave.
    struct Outcome {
        Md5Digest digest{};
        StrongDigest strong{};  // of a full digest
        bool succeeded = false;
        bool multiStep = false;  // read in more than one step
    };

    // Begins a window.
    void BeginWindow() { m_items.clear(); }
    // A record of the window at `place`; `answered`: its digest is known without reading the file
    // (from a cache, or read while the folders were scanned). Records of unknown identity are left out.
    void Add(const CFileRecord& record, size_t place, bool answered);
    // For every record added whose file a record added before it, or an answered one, names too:
    // (its place, the place of that record), the lead being an answered record where the file has
    // one. The leads themselves are not listed. Each file is then read at most once in the window.
    // Writes into `followers` (emptied first).
    void Followers(std::vector<std::pair<size_t, size_t>>& followers);

    // The outcome of the file `record` names, when it was read for several records in this phase;
    // nullptr otherwise.
    const Outcome* Find(const CFileRecord& record) const;
    // Notes what reading the file `record` names gave, for records asked for later (outside a window).
    void Learn(const CFileRecord& record, const Outcome& outcome);

private:
    struct Key {
        FileIdentity identity;
        uint64_t size = 0;
        FileTime lastWrite = 0;
        uint64_t changeTime = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const
        {
            return std::hash<uint64_t>()((key.identity.inode * 0x9e3779b97f4a7c15ull ^ key.identity.device) + key.changeTime);
        }
    };
    static Key KeyOf(const CFileRecord& record) { return Key{record.identity, record.size, record.lastWrite, record.changeTime}; }
    struct Item {
        Key key;
        size_t place = 0;
        bool answered = false;
    };

    std::vector<Item> m_items;                           // the window's records of known identity
    std::unordered_map<Key, Outcome, KeyHash> m_shared;  // the files read for several records
};

// The files (identities) listed so far: an open-addressed set, without an allocation per file.
class CListedFiles {
public:
    // Notes the identity; false when it was noted before (and for an unknown identity, true).
    bool Insert(const FileIdentity& identity);

private:
    std::vector<FileIdentity> m_slots;  // {0, 0}: free
    size_t m_used = 0;
};
