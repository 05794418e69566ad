#pragma once
// Records of one file share its digests. Overlapping search folders, links to folders and hard links
// list one file under several paths; each such record would otherwise read the file again, only to
// be compared with itself. A file here is a known identity (device, inode) in one state (size,
// last-write and change time): records that agree on all of them name one file as it was seen, and
// one reading of it answers for all. Search worker only.
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "engine/FileRecord.h"

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

// The digests of one kind read so far in a phase, by file, and the files of the window being begun.
class CSameFileDigests {
public:
    // What reading a file gave.
    struct Outcome {
        Md5Digest digest{};
        bool succeeded = false;
        bool multiStep = false;  // read in more than one step
    };

    // The outcome of the file `record` names, when a record of that file was read before in this
    // phase; nullptr otherwise (also for a record of unknown identity).
    const Outcome* Find(const CFileRecord& record) const;
    // Notes what reading the file `record` names gave. A record of unknown identity is not noted.
    void Learn(const CFileRecord& record, const Outcome& outcome);

    // Begins a window: forgets which record leads each file in it.
    void BeginWindow() { m_leads.clear(); }
    // The place of the record that is read for the file `record` names in this window: the first
    // place asked for with that file, which is `place` itself the first time (and always for a
    // record of unknown identity).
    size_t Lead(const CFileRecord& record, size_t place);

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

    std::unordered_map<Key, Outcome, KeyHash> m_read;  // every file read in this phase
    std::unordered_map<Key, size_t, KeyHash> m_leads;  // the files of the window being begun
};
