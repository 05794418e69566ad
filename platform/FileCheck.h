#pragma once
// The checks made just before a file that a search found is moved, linked or replaced: that it
// is still the file the search saw, and that a copy meant to stay is still the file the search
// saw and holds the same bytes. Paths are native bytes; a symbolic link at a path is never
// followed, and nothing but a regular file is ever opened (so a FIFO or a device put in a file's
// place never blocks or wakes anything). Nothing is ever written. Any thread; an instance keeps
// its read buffers, so use one per thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

struct stat;

// What a search saw of a regular file.
struct FileSeen {
    uint64_t size = 0;
    FileTime lastWrite = 0;
    uint64_t changeTime = 0;  // status change time, nanoseconds since 1970
    FileIdentity identity;
    friend bool operator==(const FileSeen&, const FileSeen&) = default;
};

enum class FileCheckResult {
    Same,        // as the search saw it (and equal to the copy byte for byte, when compared)
    Gone,        // the file no longer exists
    Changed,     // another type, size, time or identity than the search saw, or it changed while read
    Unreadable,  // the file could not be examined or read (Error() tells why)
    CopyGone,    // the same three for the copy
    CopyChanged,
    CopyUnreadable,
    Different,  // both as the search saw them, but their bytes differ
    SameFile,   // both as the search saw them, and one file (a hard link): nothing to compare
};

class CFileCheck {
public:
    // What the file at `path` is now, when it is a regular file (a link is not followed).
    static std::optional<FileSeen> Look(const std::string& path);
    // What a status says of its file.
    static FileSeen SeenOf(const struct stat& status);

    // Whether `path` is still the regular file the search saw: type, size, last-write and change
    // time, device and inode. Same, Gone, Changed or Unreadable. Reads no content.
    FileCheckResult Unchanged(const std::string& path, const FileSeen& seen);

    // Whether `path` is still the file `seen`, `copy` still the file `copySeen`, and both hold the
    // same bytes: reads both to their end (or to their first difference), then makes sure that
    // neither changed while it read. A copy that is the file itself (one identity: a hard link)
    // is SameFile, without reading. Any result but Unreadable and CopyUnreadable leaves Error() 0.
    FileCheckResult EqualToCopy(const std::string& path, const FileSeen& seen, const std::string& copy, const FileSeen& copySeen);

    // The system error (errno) behind the last Unreadable or CopyUnreadable.
    int Error() const { return m_error; }

private:
    FileCheckResult CompareOpen(int file, int copy, const FileSeen& seen, const FileSeen& copySeen);

    std::vector<char> m_buffer;
    int m_error = 0;
};
