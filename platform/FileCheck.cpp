#include "platform/FileCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kChunk = 128 * 1024;  // per file and read

bool Matches(const struct stat& status, const FileSeen& seen)
{
    return S_ISREG(status.st_mode) && CFileCheck::SeenOf(status) == seen;
}

// What a failed lstat or open says: Gone, or Unreadable with the error kept.
FileCheckResult Failure(int error, int& kept)
{
    if (error == ENOENT || error == ENOTDIR)
        return FileCheckResult::Gone;
    kept = error;
    return FileCheckResult::Unreadable;
}

// Closes the descriptor when it goes out of scope.
class CFd {
public:
    CFd() = default;
    ~CFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int& Get() { return m_fd; }

private:
    int m_fd = -1;
};

// Opens the file at `path` for reading when it is the regular file the search saw (checked
// before opening, so that nothing else is ever opened, and again on the open descriptor).
FileCheckResult OpenAsSeen(const std::string& path, const FileSeen& seen, int& fd, int& error)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return Failure(errno, error);
    if (!Matches(status, seen))
        return FileCheckResult::Changed;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ELOOP ? FileCheckResult::Changed : Failure(errno, error);  // ELOOP: now a link
    if (::fstat(fd, &status) != 0) {
        error = errno;
        return FileCheckResult::Unreadable;
    }
    if (!Matches(status, seen))
        return FileCheckResult::Changed;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return FileCheckResult::Same;
}

// Fills `buffer` from the descriptor up to `size` bytes or the end of the file. The count, or
// -1 with errno set.
ssize_t ReadFull(int fd, char* buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t count = ::read(fd, buffer + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        done += static_cast<size_t>(count);
    }
    return static_cast<ssize_t>(done);
}

FileCheckResult AsCopy(FileCheckResult result)
{
    switch (result) {
    case FileCheckResult::Gone:
        return FileCheckResult::CopyGone;
    case FileCheckResult::Changed:
        return FileCheckResult::CopyChanged;
    case FileCheckResult::Unreadable:
        return FileCheckResult::CopyUnreadable;
    default:
        return result;
    }
}

}  // namespace

FileSeen CFileCheck::SeenOf(const struct stat& status)
{
    FileSeen seen;
    seen.size = static_cast<uint64_t>(status.st_size);
    seen.lastWrite = FileTimeFromUnix(status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
    seen.changeTime = NanosecondsFromUnix(status.st_ctim.tv_sec, status.st_ctim.tv_nsec);
    seen.identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return seen;
}

std::optional<FileSeen> CFileCheck::Look(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return SeenOf(status);
}

FileCheckResult CFileCheck::Unchanged(const std::string& path, const FileSeen& seen)
{
    m_error = 0;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return Failure(errno, m_error);
    return Matches(status, seen) ? FileCheckResult::Same : FileCheckResult::Changed;
}

FileCheckResult CFileCheck::EqualToCopy(const std::string& path, const FileSeen& seen, const std::string& copy,
                                        const FileSeen& copySeen)
{
    m_error = 0;
    if (seen.identity == copySeen.identity) {
        // One file under two names: nothing to read, but both names must still be that file.
        FileCheckResult result = Unchanged(path, seen);
        if (result == FileCheckResult::Same)
            result = AsCopy(Unchanged(copy, copySeen));
        return result == FileCheckResult::Same ? FileCheckResult::SameFile : result;
    }
    CFd file;
    CFd other;
    const FileCheckResult opened = OpenAsSeen(path, seen, file.Get(), m_error);
    if (opened != FileCheckResult::Same)
        return opened;
    const FileCheckResult copyOpened = OpenAsSeen(copy, copySeen, other.Get(), m_error);
    if (copyOpened != FileCheckResult::Same)
        return AsCopy(copyOpened);
    return CompareOpen(file.Get(), other.Get(), seen, copySeen);
}

FileCheckResult CFileCheck::CompareOpen(int file, int copy, const FileSeen& seen, const FileSeen& copySeen)
{
    if (seen.size != copySeen.size)
        return FileCheckResult::Different;
    m_buffer.resize(2 * kChunk);
    char* const mine = m_buffer.data();
    char* const theirs = mine + kChunk;
    bool equal = true;
    for (;;) {
        const ssize_t got = ReadFull(file, mine, kChunk);
        if (got < 0) {
            m_error = errno;
            return FileCheckResult::Unreadable;
        }
        const ssize_t copyGot = ReadFull(copy, theirs, kChunk);
        if (copyGot < 0) {
            m_error = errno;
            return FileCheckResult::CopyUnreadable;
        }
        if (got != copyGot || std::memcmp(mine, theirs, static_cast<size_t>(got)) != 0) {
            equal = false;  // or one changed while it was read: the checks below tell
            break;
        }
        if (got == 0)
            break;
    }
    // What was read is what the search saw only while both are still as it saw them.
    struct stat status {};
    if (::fstat(file, &status) != 0 || !Matches(status, seen))
        return FileCheckResult::Changed;
    if (::fstat(copy, &status) != 0 || !Matches(status, copySeen))
        return FileCheckResult::CopyChanged;
    return equal ? FileCheckResult::Same : FileCheckResult::Different;
}
