#pragma once
#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

// One result row: a duplicate and the original whose content it repeats. A plain value.
class CDuplicatePair {
public:
    std::u16string originalPath;
    std::u16string duplicatePath;
    uint64_t size = 0;            // size of the original in bytes
    FileTime originalTime = 0;    // last-write time of the original
    FileTime duplicateTime = 0;   // last-write time of the duplicate
};
