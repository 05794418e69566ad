#pragma once
// The small interface through which the engine reaches the file system: list a folder, read a
// file. The real implementation is CPosixFileSystem; tests substitute their own to make a file
// vanish, a read fail or a folder refuse to open at the moment they choose.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileState.h"

// One entry of a folder listing. "." and ".." are never reported.
struct DirEntry {
    std::u16string name;              // entry name, decoded losslessly from the native bytes
    bool isFolder = false;            // a directory, or a symbolic link to one
    bool isFile = false;              // a regular file (never a link, FIFO, socket or device)
    bool isLink = false;              // a symbolic link (set for links to folders)
    bool onPseudoFileSystem = false;  // for a link to a folder: the folder lies on proc, sysfs or the like
    uint64_t size = 0;                // bytes; set for files
    FileTime lastWrite = 0;           // set for files
    uint64_t changeTime = 0;          // status change time (st_ctim) in nanoseconds since 1970; set for files
    FileIdentity identity;            // set for files, and for links to folders (the folder's)
};

// An open folder listing, positioned before its first entry.
class IDirListing {
public:
    virtual ~IDirListing() = default;
    // Identity of the listed folder itself (after following links).
    virtual FileIdentity Identity() const = 0;
    // Moves to the next entry in file-system order and fills `entry` (reusing its storage).
    // Returns false at the end of the listing or when it cannot be read further.
    virtual bool Next(DirEntry& entry) = 0;
};

// A regular file open for reading from its start.
class IFileReader {
public:
    virtual ~IFileReader() = default;
    // Size of the open file in bytes, taken when it was opened.
    virtual uint64_t Size() const = 0;
    // Reads up to `count` bytes. Returns the number read, 0 at the end of the file, or -1 on a
    // read error.
    virtual int64_t Read(void* buffer, size_t count) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // Opens the folder (following a link to it) for listing; nullptr when it cannot be listed.
    virtual std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) = 0;
    // Opens a regular file for reading; nullptr when it is missing, unreadable or not a regular
    // file. Never blocks on a FIFO or a device.
    virtual std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) = 0;
    // Says that the first `bytes` bytes of the regular file at `path` will be read soon, so that
    // the system may begin to read them from the disk now. Only a hint: it never fails, and it is
    // not an opening of the file (a file system that counts or fakes openings ignores it). Any
    // thread.
    virtual void WillRead(std::u16string_view path, uint64_t bytes) { (void)path, (void)bytes; }
};
