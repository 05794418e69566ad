#pragma once
// The sets of equal content within one run of equal quick digests: each set's original is its first
// readable record in the run's order. A run usually holds one set; a few are searched one by one.
// Search worker only.
#include <vector>

#include "engine/FileRecord.h"

class CRunSets {
public:
    void Clear() { m_sets.clear(); }
    // The original of the set with this full digest, or nullptr when the digest starts a new set
    // (whose original `record` then becomes; it must outlive the run).
    const CFileRecord* OriginalFor(const Md5Digest& full, const CFileRecord& record);
    // Whether the record names the original of a set again (a hard link, a folder walked twice).
    bool NamesAnOriginal(const CFileRecord& record) const;

private:
    struct Set {
        Md5Digest full;
        const CFileRecord* original;
    };
    std::vector<Set> m_sets;
};
