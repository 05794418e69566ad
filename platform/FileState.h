#pragma once
// What the file system says of a file at one moment: its size, times, identity and type. The
// value types of the file-system interface (FileTime, FileIdentity) live here with it.
#include <sys/stat.h>

#include <cstdint>

// A last-write time: 100-nanosecond intervals since 1601-01-01 UTC.
using FileTime = uint64_t;

// Converts POSIX seconds and nanoseconds since 1970 to nanoseconds since 1970 (the change time).
constexpr uint64_t NanosecondsFromUnix(int64_t seconds, int64_t nanoseconds)
{
    return static_cast<uint64_t>(seconds) * 1000000000ull + static_cast<uint64_t>(nanoseconds);
}

// Converts POSIX seconds and nanoseconds since 1970 to a FileTime.
constexpr FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds)
{
    return static_cast<FileTime>((seconds + 11644473600LL) * 10000000LL + nanoseconds / 100);
}

// A file's identity: two paths with equal identity name the same file (a hard link, a folder
// reached twice through a link or through overlapping search folders).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

enum class EFileType : uint8_t { Regular, Folder, Link, Other };

// A file as it was seen: two states are equal exactly when every field is. A digest taken of a file
// in one state stands for the file only while it is in an equal state: the change time moves with
// every write and every replacement, and no user tool can set it back, so a file rewritten with
// its old size and time, or replaced by a copy made with `cp -p`, is in another state. Every digest
// cache, in memory and on disk, keeps the state beside the digest and asks this.
struct FileState {
    uint64_t size = 0;        // bytes
    FileTime lastWrite = 0;   // st_mtim as a FileTime
    uint64_t changeTime = 0;  // st_ctim in nanoseconds since 1970
    FileIdentity identity;    // (st_dev, st_ino)
    EFileType type = EFileType::Regular;

    friend bool operator==(const FileState&, const FileState&) = default;
};

// The state `lstat` or `fstat` reported (a link is a link, not what it names).
inline FileState FileStateOf(const struct stat& info)
{
    FileState state;
    state.size = static_cast<uint64_t>(info.st_size);
    state.lastWrite = FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    state.changeTime = NanosecondsFromUnix(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
    state.identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    state.type = S_ISREG(info.st_mode) ? EFileType::Regular
        : S_ISDIR(info.st_mode)        ? EFileType::Folder
        : S_ISLNK(info.st_mode)        ? EFileType::Link
                                       : EFileType::Other;
    return state;
}
