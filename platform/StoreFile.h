#pragma once
// One small file that several processes read and change: reads see either the old or the new
// contents, never a mix, and changes never overwrite each other.
//
// A change takes an exclusive lock (flock) on "<file>.lock" in the file's folder, reads the file
// as it is on disk, lets the caller compute the new contents, writes them to "<file>.tmp" in the
// same folder, flushes it to disk, renames it over the file and flushes the folder. A crash at
// any moment leaves either the old or the new file in place; a stray ".tmp" is simply
// overwritten by the next change. The lock file is never removed (removing it would let two
// writers lock different files). When the path is a symbolic link (or a chain of them), the link
// is kept and "<file>" above is the file it leads to, resolved once per change: the lock, the
// temporary file and the rename are all beside that file, so writers through different links
// to one file take one lock. A dangling link leads to the file it names, which the change
// creates (its folder must exist); the link is never replaced by a file.
//
// A file without any write permission was made read-only by its owner: it is never replaced.
// A copy of the file's bytes can be kept beside it ("<file>.damaged-YYYYMMDD-HHMMSS"), so that a
// change that would lose something the file held can keep it first.
//
// Reading needs no lock, never blocks on a FIFO and treats anything that is not a readable
// regular file as missing. Any thread may use an instance; the file lock also serialises
// threads of one process.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CStoreFile {
public:
    // Identifies one version of the file: a change replaces the file, so its identity changes.
    struct Stamp {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = -1;
        int64_t modifiedNs = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };

    // The change a caller makes: given the current bytes (empty when the file is missing),
    // returns 0 and sets `replacement` and `write` (false: keep the file as it is), or returns an
    // error code that aborts the change.
    using Change = std::function<long(const std::string& current, std::string& replacement, bool& write)>;

    explicit CStoreFile(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }

    // The file's bytes and the stamp they were read under. A missing or unreadable file gives
    // empty bytes and a stamp with size -1. Never blocks and never fails.
    std::string Read(Stamp* stamp = nullptr) const;
    // The stamp of the file as it is now, without reading it.
    Stamp CurrentStamp() const;

    // True when the file exists and nobody may write it (no write permission bit set), or this
    // process may not.
    bool IsReadOnly() const;

    // Applies a change as described above, creating the file's folder (mode 0700) when it is
    // missing. Returns 0 or the registry-style error code of what failed (ERROR_ACCESS_DENIED,
    // also when the change would write a read-only file; ERROR_DISK_FULL,
    // ERROR_WRITE_FAULT, ERROR_LOCK_VIOLATION when the lock stayed taken for about ten seconds),
    // or the caller's error. The file is unchanged after any failure.
    long Apply(const Change& change) const;

    // Writes `bytes` to a new file "<file>.damaged-YYYYMMDD-HHMMSS" (local time; "-2", "-3", ...
    // follow when that name is taken) in the file's folder and flushes it to disk. Returns 0 and
    // the copy's path in `copyPath` (optional), or the error code; no partial copy is left.
    // Call it from a Change to keep the bytes a change is about to replace.
    long KeepCopy(std::string_view bytes, std::string* copyPath = nullptr) const;
    // The bytes of the newest copy KeepCopy made for this file (by name), empty when there is none.
    std::string ReadNewestCopy() const;

    // Fault injection for tests: called after the temporary file is written and flushed, just
    // before the rename (so once for every replacement of the file). Null (the default) does
    // nothing.
    static void SetBeforeRenameHookForTesting(void (*hook)());

private:
    long WriteReplacement(const std::string& target, std::string_view bytes) const;

    std::string m_path;
};
