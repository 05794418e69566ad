#pragma once
// The sets of identical files a search found, for acting on them: the rows that share an original
// form one set with it. Each file belongs to the first set it appears in.
#include <cstdint>
#include <vector>

#include "engine/DuplicatePair.h"
#include "engine/FileRecord.h"
#include "platform/FileCheck.h"

// A file of a set and what the search saw of it.
struct SetFile {
    CPathString path;
    bool known = false;  // false: the search has no record of the path (nothing is done to it)
    FileSeen seen;       // when known
};

// Files of one content: the original first, then its duplicates in the order of the rows.
struct DuplicateSet {
    std::vector<SetFile> files;
    uint64_t size = 0;
};

// The sets of the rows, in the order their originals first appear; what the search saw of each
// file is taken from its record in `files` (the search's list). Any thread.
std::vector<DuplicateSet> CollectDuplicateSets(const std::vector<CDuplicatePair>& rows, const FileList& files);
