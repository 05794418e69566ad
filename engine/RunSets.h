#pragma once
// The sets of equal content within one run of equal quick digests: each set's original is its first
// readable record in the run's order. A run usually holds one set; a few are searched one by one.
// Search worker only.
#include <vector>

#include "engine/FileRecord.h"

class CRunSets {
public:
    void Clear() { m_sets.clear(); }
    // The original of the set of this content: the full digest and the strong one of `full` (a
    // copy of `record` with them), or nullptr when they start a new set (whose original `record`
    // then becomes; it must outlive the run). Files of equal MD5 but another SHA-256 (an MD5
    // collision) are sets of their own.
    const CFileRecord* OriginalFor(const CFileRecord& full, const CFileRecord& record);
    // Whether the record names the original of a set again (a hard link, a folder walked twice).
    bool NamesAnOriginal(const CFileRecord& record) const;

private:
    struct Set {
        Md5Digest full;
        StrongDigest strong;
        const CFileRecord* original;
    };
    std::vector<Set> m_sets;
};
