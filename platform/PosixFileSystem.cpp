#include "platform/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>

#include "platform/NativeName.h"

namespace {

// File systems whose folders the kernel makes up as they are listed (process tables, devices,
// control files): their links form webs without end, and they hold no files worth comparing.
// devtmpfs cannot be told from tmpfs this way; it holds devices, which never become records.
bool IsPseudoFileSystem(uint64_t type)
{
    static constexpr uint64_t kPseudo[] = {
        0x9fa0,      // proc
        0x62656572,  // sysfs
        0x64626720,  // debugfs
        0x74726163,  // tracefs
        0x73636673,  // securityfs
        0x27e0eb,    // cgroup
        0x63677270,  // cgroup2
        0x6165676c,  // pstore
        0xcafe4a11,  // bpf
        0x62656570,  // configfs
        0x1cd1,      // devpts
        0xde5e81e4,  // efivarfs
        0x65735543,  // fusectl
        0x42494e4d,  // binfmt_misc
        0x19800202,  // mqueue
        0xf97cff8c,  // selinuxfs
        0x6e736673,  // nsfs
        0x1373,      // devfs
    };
    for (const uint64_t pseudo : kPseudo)
        if (type == pseudo)
            return true;
    return false;
}

class CPosixDirListing final : public IDirListing {
public:
    CPosixDirListing(DIR* dir, const struct stat& self) : m_dir(dir), m_identity(FileStateOf(self).identity) {}
    ~CPosixDirListing() override { closedir(m_dir); }

    FileIdentity Identity() const override { return m_identity; }

    bool Next(DirEntry& entry) override
    {
        for (;;) {
            const dirent* raw = readdir(m_dir);
            if (!raw)
                return false;
            const char* name = raw->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            if (Classify(*raw, entry)) {
                entry.name.clear();
                AppendDecodedNativeName(entry.name, name);
                return true;
            }
            // The entry vanished between the listing and the look at it: it is not there.
        }
    }

private:
    bool Classify(const dirent& raw, DirEntry& entry) const
    {
        entry.isFolder = false;
        entry.isFile = false;
        entry.isLink = false;
        entry.onPseudoFileSystem = false;
        entry.size = 0;
        entry.lastWrite = 0;
        entry.changeTime = 0;
        entry.identity = {};
        if (raw.d_type == DT_DIR) {
            entry.isFolder = true;
            return true;
        }
        if (raw.d_type != DT_REG && raw.d_type != DT_LNK && raw.d_type != DT_UNKNOWN)
            return true;  // FIFO, socket or device: listed, but neither folder nor file
        struct stat st;
        if (fstatat(dirfd(m_dir), raw.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (S_ISREG(st.st_mode)) {
            const FileState state = FileStateOf(st);
            entry.isFile = true;
            entry.size = state.size;
            entry.lastWrite = state.lastWrite;
            entry.changeTime = state.changeTime;
            entry.identity = state.identity;
        } else if (S_ISDIR(st.st_mode)) {
            entry.isFolder = true;
        } else if (S_ISLNK(st.st_mode)) {
            // A link counts as a folder when it leads to one; a link to a file is never a file.
            entry.isLink = true;
            struct stat target;
            entry.isFolder = fstatat(dirfd(m_dir), raw.d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
            if (entry.isFolder) {
                entry.identity = FileStateOf(target).identity;
                entry.onPseudoFileSystem = LeadsToPseudoFileSystem(raw.d_name);
            }
        }
        return true;
    }

    // Whether the folder the link leads to lies on a file system of the kernel's own making.
    bool LeadsToPseudoFileSystem(const char* name) const
    {
        const int fd = openat(dirfd(m_dir), name, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct statfs fs;
        const bool pseudo = fstatfs(fd, &fs) == 0 && IsPseudoFileSystem(static_cast<uint64_t>(fs.f_type));
        close(fd);
        return pseudo;
    }

    DIR* m_dir;
    FileIdentity m_identity;
};

class CPosixFileReader final : public IFileReader {
public:
    CPosixFileReader(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~CPosixFileReader() override { close(m_fd); }

    uint64_t Size() const override { return m_size; }

    int64_t Read(void* buffer, size_t count) override
    {
        for (;;) {
            const ssize_t got = read(m_fd, buffer, count);
            if (got >= 0)
                return got;
            if (errno != EINTR)
                return -1;
        }
    }

private:
    int m_fd;
    uint64_t m_size;
};

// Opens a path of any length. A path shorter than PATH_MAX is opened at once; a longer one is
// walked in pieces shorter than PATH_MAX (cut after a separator), each opened relative to the
// folder the piece before it led to, so that at most two descriptors are open at any moment.
int OpenAnyLength(const std::string& native, int flags)
{
    if (native.size() < PATH_MAX)
        return open(native.c_str(), flags);
    int folder = AT_FDCWD;
    size_t start = 0;
    for (;;) {
        const size_t remaining = native.size() - start;
        if (remaining < PATH_MAX) {
            const int fd = openat(folder, native.c_str() + start, flags);
            const int saved = errno;
            if (folder != AT_FDCWD)
                close(folder);
            errno = saved;
            return fd;
        }
        // The longest piece that ends with a separator and fits; a name is at most NAME_MAX bytes,
        // so one always does.
        size_t end = native.rfind('/', start + PATH_MAX - 2);
        if (end == std::string::npos || end < start) {
            if (folder != AT_FDCWD)
                close(folder);
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::string piece = native.substr(start, end - start + 1);
        const int next = openat(folder, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int saved = errno;
        if (folder != AT_FDCWD)
            close(folder);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        folder = next;
        start = end + 1;
    }
}

}  // namespace

std::unique_ptr<IDirListing> CPosixFileSystem::OpenFolder(std::u16string_view path)
{
    const std::string native = EncodeNativeName(path);
    const int fd = OpenAnyLength(native, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat self;
    DIR* dir = fstat(fd, &self) == 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<CPosixDirListing>(dir, self);
}

std::unique_ptr<IFileReader> CPosixFileSystem::OpenFile(std::u16string_view path)
{
    const std::string native = EncodeNativeName(path);
    // O_NONBLOCK: a path that has become a FIFO since the scan must not block the open.
    const int fd = OpenAnyLength(native, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<CPosixFileReader>(fd, static_cast<uint64_t>(st.st_size));
}

void CPosixFileSystem::WillRead(std::u16string_view path, uint64_t bytes)
{
    const int fd = OpenAnyLength(EncodeNativeName(path), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        posix_fadvise(fd, 0, static_cast<off_t>(std::min<uint64_t>(bytes, INT64_MAX)), POSIX_FADV_WILLNEED);
    close(fd);
}

CPosixFileSystem& CPosixFileSystem::Instance()
{
    static CPosixFileSystem instance;
    return instance;
}
