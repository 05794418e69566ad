#pragma once
#include <vector>

#include "engine/Md5.h"
#include "platform/FileSystem.h"
#include "platform/PathString.h"

// One file found by the scan. A plain value; copying it copies every field.
class CFileRecord {
public:
    Md5Digest digest{};         // quick digest in g_fileList; full digest only in temporary copies
    CPathString path;           // the folder path, the separator, the entry name
    uint64_t size = 0;          // bytes, as the listing reported them
    FileTime lastWrite = 0;     // as the listing reported it; validates cached digests
    uint64_t changeTime = 0;    // status change time in nanoseconds since 1970, as listed; validates them too
    FileIdentity identity;      // (device, inode): the same file reached by two paths
    uint32_t listPosition = 0;  // place in the search's listing, numbered when the grouping phase starts
    uint32_t folder = 0;        // number of the listing of the folder the scan found it in; 0: none
};

// The records of a search, contiguous: walking them in order stays in the processor's caches, and
// the scan makes no allocation per file for them.
using FileList = std::vector<CFileRecord>;
