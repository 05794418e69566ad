#pragma once
#include "platform/FileSystem.h"
#include "platform/PathString.h"
#include <cstdint>

// One result row: a duplicate and the original whose content it repeats. A plain value.
class CDuplicatePair {
public:
    CPathString originalPath;
    CPathString duplicatePath;
    uint64_t size = 0;           // size of the original in bytes
    FileTime originalTime = 0;   // last-write time of the original
    FileTime duplicateTime = 0;  // last-write time of the duplicate
};
