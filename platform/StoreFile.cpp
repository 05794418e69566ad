#include "platform/StoreFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "platform/Registry.h"

namespace {

void (*g_beforeRenameHook)() = nullptr;

// Closes the descriptor when it goes out of scope.
class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    // Closes now and reports whether closing succeeded (it can report a delayed write error).
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

long ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    default:
        return ERROR_WRITE_FAULT;
    }
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view kCopyTag = ".damaged-";

// Whether nobody, or not this process, may write the existing file at `path`.
bool IsReadOnlyFile(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return (st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0;
}

long MakeFolders(const std::string& folder)
{
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/')
            continue;
        const std::string part = folder.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return ErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
}

CStoreFile::Stamp StampOf(const struct stat& st)
{
    return CStoreFile::Stamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
                             static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

enum class ReadResult { Missing, Read, Unreadable };

// Reads a regular file without blocking on FIFOs or devices.
ReadResult ReadRegularFile(const std::string& path, std::string& bytes, CStoreFile::Stamp& stamp)
{
    bytes.clear();
    stamp = {};
    CFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ReadResult::Unreadable;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd.Get(), buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            bytes.clear();
            return ReadResult::Unreadable;
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
    stamp = StampOf(st);
    return ReadResult::Read;
}

// Waits up to about ten seconds for the exclusive lock. File systems without locks are used
// unlocked rather than never written.
long LockExclusive(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return ERROR_SUCCESS;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
            return ERROR_SUCCESS;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return ERROR_LOCK_VIOLATION;
        if (std::chrono::steady_clock::now() >= deadline)
            return ERROR_LOCK_VIOLATION;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The file a change replaces, resolved once for the whole change: the path itself, or, when the
// path is a symbolic link, the file at the end of its chain of links, named through the canonical
// form of its folder, so that every link to one file gives one path (and so one lock). A dangling
// link gives the file that writing through it creates. Empty, with errno set, when the chain
// cannot be followed (a loop, an unreadable link, a missing folder).
std::string ReplacedFile(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop <= 40; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            if (hop == 0)
                return path;
            const std::string name = NameOf(current);
            if (name.empty() || name == "." || name == "..")
                return current;  // names a folder, which is never replaced
            char* folder = realpath(FolderOf(current).c_str(), nullptr);
            if (!folder)
                return {};
            std::string resolved(folder);
            free(folder);
            return (resolved == "/" ? resolved : resolved + "/") + name;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
            errno = length == 0 ? ENOENT : length < 0 ? errno : ENAMETOOLONG;
            return {};
        }
        target.resize(static_cast<size_t>(length));
        if (target.front() == '/') {
            current = std::move(target);
        } else {
            const std::string folder = FolderOf(current);
            current = (folder == "/" ? folder : folder + "/") + target;
        }
    }
    errno = ELOOP;
    return {};
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    CFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        fsync(fd.Get());  // some file systems refuse this; the rename is done either way
}

}  // namespace

std::string CStoreFile::Read(Stamp* stamp) const
{
    std::string bytes;
    Stamp read;
    if (m_path.empty() || ReadRegularFile(m_path, bytes, read) != ReadResult::Read)
        read = {};
    if (stamp)
        *stamp = read;
    return bytes;
}

CStoreFile::Stamp CStoreFile::CurrentStamp() const
{
    struct stat st {};
    if (m_path.empty() || stat(m_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Stamp{};
    return StampOf(st);
}

long CStoreFile::Apply(const Change& change) const
{
    if (m_path.empty())
        return ERROR_PATH_NOT_FOUND;
    if (long error = MakeFolders(FolderOf(m_path)))
        return error;
    // The lock sits beside the file that is replaced, so that writers through different links
    // to one file take one lock.
    const std::string target = ReplacedFile(m_path);
    if (target.empty())
        return ErrorFromErrno(errno);
    CFd lock(open((target + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.Get() < 0)
        return ErrorFromErrno(errno);
    if (long error = LockExclusive(lock.Get()))
        return error;

    std::string current;
    Stamp stamp;
    // Never replace what could not be read: that would lose it.
    if (ReadRegularFile(target, current, stamp) == ReadResult::Unreadable)
        return ERROR_ACCESS_DENIED;
    std::string replacement;
    bool write = false;
    if (long error = change(current, replacement, write))
        return error;
    if (!write)
        return ERROR_SUCCESS;
    if (IsReadOnlyFile(target))
        return ERROR_ACCESS_DENIED;  // its owner asked for it not to change
    return WriteReplacement(target, replacement);
}

long CStoreFile::WriteReplacement(const std::string& target, std::string_view bytes) const
{
    const std::string temporary = target + ".tmp";
    unlink(temporary.c_str());
    CFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.Get() < 0)
        return ErrorFromErrno(errno);
    struct stat old {};
    if (stat(target.c_str(), &old) == 0)
        fchmod(fd.Get(), old.st_mode & 07777);  // keep the mode the person gave the file
    const bool written = WriteAll(fd.Get(), bytes) && fsync(fd.Get()) == 0;
    const int writeError = errno;
    if (!fd.Close() || !written) {
        unlink(temporary.c_str());
        return ErrorFromErrno(written ? errno : writeError);
    }
    if (g_beforeRenameHook)
        g_beforeRenameHook();
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const long error = ErrorFromErrno(errno);
        unlink(temporary.c_str());
        return error;
    }
    SyncFolder(FolderOf(target));
    return ERROR_SUCCESS;
}

bool CStoreFile::IsReadOnly() const
{
    return !m_path.empty() && IsReadOnlyFile(ReplacedFile(m_path));
}

long CStoreFile::KeepCopy(std::string_view bytes, std::string* copyPath) const
{
    if (m_path.empty())
        return ERROR_PATH_NOT_FOUND;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = m_path + std::string(kCopyTag) + stamp;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const std::string path = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        CFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (fd.Get() < 0 && errno == EEXIST)
            continue;
        if (fd.Get() < 0)
            return ErrorFromErrno(errno);
        const bool written = WriteAll(fd.Get(), bytes) && fsync(fd.Get()) == 0;
        const int writeError = errno;
        if (!fd.Close() || !written) {
            unlink(path.c_str());
            return ErrorFromErrno(written ? errno : writeError);
        }
        SyncFolder(FolderOf(path));
        if (copyPath)
            *copyPath = path;
        return ERROR_SUCCESS;
    }
    return ERROR_WRITE_FAULT;
}

std::string CStoreFile::ReadNewestCopy() const
{
    if (m_path.empty())
        return {};
    const std::string folder = FolderOf(m_path);
    const std::string prefix = NameOf(m_path) + std::string(kCopyTag);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return {};
    std::string newest;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.substr(0, prefix.size()) == prefix && name > newest)
            newest = name;
    }
    closedir(dir);
    std::string bytes;
    Stamp stamp;
    if (newest.empty() || ReadRegularFile(folder + "/" + newest, bytes, stamp) != ReadResult::Read)
        return {};
    return bytes;
}

void CStoreFile::SetBeforeRenameHookForTesting(void (*hook)())
{
    g_beforeRenameHook = hook;
}
