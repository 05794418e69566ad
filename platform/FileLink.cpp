#include "platform/FileLink.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {

// Closes the descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool Still(const struct stat& status, const FileSeen& seen)
{
    return S_ISREG(status.st_mode) && CFileCheck::SeenOf(status) == seen;
}

// The folder of a path, with its separator ("/a/b" -> "/a/"; "b" -> "").
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

LinkOutcome Outcome(LinkResult result, int error = 0)
{
    LinkOutcome outcome;
    outcome.result = result;
    outcome.error = error;
    return outcome;
}

// Opens a regular file without following a link or blocking, and checks it against `seen`.
int OpenAsSeen(const std::string& path, int flags, const FileSeen& seen, int& error)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !Still(status, seen)) {
        error = 0;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

LinkOutcome CFileLink::HardLink(const std::string& path, const FileSeen& seen, const std::string& kept, const FileSeen& keptSeen)
{
    if (seen.identity.device != keptSeen.identity.device)
        return Outcome(LinkResult::OtherDevice, EXDEV);
    // A name of our own next to the file: tried until one is free.
    std::string temporary;
    const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0;; ++attempt) {
        char name[64];
        static const int process = static_cast<int>(::getpid());
        std::snprintf(name, sizeof name, ".quillon-link-%d-%llx-%u", process, stamp, attempt);
        temporary = FolderOf(path) + name;
        if (::link(kept.c_str(), temporary.c_str()) == 0)
            break;
        if (errno == EXDEV)
            return Outcome(LinkResult::OtherDevice, EXDEV);
        if (errno == ENOENT)
            return Outcome(LinkResult::KeptChanged);
        if (errno != EEXIST || attempt == 100)
            return Outcome(LinkResult::Failed, errno);
    }
    const auto removeTemporary = [&](LinkOutcome outcome) {
        ::unlink(temporary.c_str());
        return outcome;
    };
    // The new link must be the kept file as it was (the link itself changed its change time),
    // and the file must still be as seen, at the last moment before it is replaced.
    struct stat status {};
    if (::lstat(temporary.c_str(), &status) != 0)
        return removeTemporary(Outcome(LinkResult::Failed, errno));
    FileSeen linked = CFileCheck::SeenOf(status);
    linked.changeTime = keptSeen.changeTime;
    if (!S_ISREG(status.st_mode) || linked != keptSeen)
        return removeTemporary(Outcome(LinkResult::KeptChanged));
    if (::lstat(path.c_str(), &status) != 0)
        return removeTemporary(errno == ENOENT ? Outcome(LinkResult::Changed) : Outcome(LinkResult::Failed, errno));
    if (!Still(status, seen))
        return removeTemporary(Outcome(LinkResult::Changed));
    const bool lastName = status.st_nlink == 1;
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return removeTemporary(Outcome(LinkResult::Failed, errno));
    LinkOutcome done = Outcome(LinkResult::Done);
    done.lastName = lastName;
    done.keptNow = keptSeen;
    if (::lstat(path.c_str(), &status) == 0 && CFileCheck::SeenOf(status).identity == keptSeen.identity)
        done.keptNow = CFileCheck::SeenOf(status);
    return done;
}

LinkOutcome CFileLink::Reflink(const std::string& path, const FileSeen& seen, const std::string& kept, const FileSeen& keptSeen)
{
    int error = 0;
    Fd source{OpenAsSeen(kept, O_RDONLY, keptSeen, error)};
    if (source.fd < 0)
        return Outcome(LinkResult::KeptChanged);
    Fd target{OpenAsSeen(path, O_WRONLY, seen, error)};
    if (target.fd < 0)
        return error == 0 || error == ENOENT || error == ELOOP ? Outcome(LinkResult::Changed)
                                                               : Outcome(LinkResult::Failed, error);
    struct stat before {};
    if (::fstat(target.fd, &before) != 0)
        return Outcome(LinkResult::Failed, errno);
    if (::ioctl(target.fd, FICLONE, source.fd) != 0) {
        const int why = errno;
        if (why == EOPNOTSUPP || why == ENOTTY || why == EINVAL || why == EXDEV || why == ENOSYS)
            return Outcome(LinkResult::Refused, why);
        return Outcome(LinkResult::Failed, why);
    }
    // Sharing blocks is not a change of content: the file keeps its last-write time.
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::futimens(target.fd, times);
    LinkOutcome done = Outcome(LinkResult::Done);
    done.lastName = true;  // the blocks are shared by every name of the file
    struct stat status {};
    done.keptNow = ::fstat(source.fd, &status) == 0 ? CFileCheck::SeenOf(status) : keptSeen;
    return done;
}
