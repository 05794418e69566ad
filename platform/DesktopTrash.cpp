#include "platform/DesktopTrash.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

namespace {

constexpr size_t kNameMax = 255;  // bytes in a file name on the file systems in use
constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr int kMaxNameTries = 10000;

// The folder of an absolute path ("/a/b" -> "/a", "/b" -> "/").
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Joined(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

bool IsFolder(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Makes the folder and its missing parents, each with mode 0700. 0 or errno.
int MakeFolders(const std::string& folder)
{
    for (size_t end = 1; end <= folder.size(); ++end) {
        if (end != folder.size() && folder[end] != '/')
            continue;
        if (::mkdir(folder.substr(0, end).c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return IsFolder(folder) ? 0 : ENOTDIR;
}

// Renames without ever replacing what is at `to`; false with errno set. A file system that cannot
// rename that way gets a plain rename after a look: the name in the trash belongs to this move
// (its information file was created exclusively), so only a stray file could be there.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat status {};
    if (::lstat(to.c_str(), &status) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

// The name a file takes in the trash on the n-th try (from 1): its own name, then "STEM.n.EXT";
// shortened (at a character boundary where the name is UTF-8) so that the information file's name
// fits too.
std::string TrashName(const std::string& name, int attempt)
{
    const size_t dot = name.rfind('.');
    const bool extension = dot != std::string::npos && dot > 0;
    std::string stem = extension ? name.substr(0, dot) : name;
    std::string tail = (attempt > 1 ? "." + std::to_string(attempt) : std::string()) + (extension ? name.substr(dot) : "");
    const size_t room = kNameMax - kInfoSuffix.size();
    if (tail.size() > room / 2) {  // an extension that long is part of the name
        stem = name;
        tail = attempt > 1 ? "." + std::to_string(attempt) : std::string();
    }
    if (stem.size() + tail.size() > room) {
        size_t cut = room - tail.size();
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + tail;
}

std::string LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The top of the mount that holds the canonical `folder`, which lies on `device`: the highest
// folder above it on the same device.
std::string MountTop(const std::string& folder, dev_t device)
{
    std::string top = folder;
    while (top != "/") {
        const std::string parent = FolderOf(top);
        struct stat status {};
        if (::stat(parent.c_str(), &status) != 0 || status.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

}  // namespace

CDesktopTrash::CDesktopTrash(std::string dataHome)
    : m_dataHome(dataHome.empty() ? DefaultDataHome() : std::move(dataHome)), m_uid(::getuid())
{
}

std::string CDesktopTrash::DefaultDataHome()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return data;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return Joined(home, ".local/share");
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir && found->pw_dir[0] == '/')
        return Joined(found->pw_dir, ".local/share");
    return {};
}

std::string CDesktopTrash::HomeTrash() const
{
    return m_dataHome.empty() ? std::string() : Joined(m_dataHome, "Trash");
}

int CDesktopTrash::PrepareHome() const
{
    if (m_dataHome.empty())
        return ENOENT;
    const std::string trash = HomeTrash();
    if (IsFolder(trash + "/files") && IsFolder(trash + "/info"))
        return 0;
    if (const int error = MakeFolders(m_dataHome))
        return error;
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (!IsFolder(folder))
            return ENOTDIR;
    }
    return 0;
}

std::string CDesktopTrash::PercentEncoded(std::string_view bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const unsigned char c : bytes) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int CDesktopTrash::UsableMountTrash(const std::string& trash) const
{
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        struct stat status {};
        if (::lstat(folder.c_str(), &status) != 0)
            return errno;
        if (!S_ISDIR(status.st_mode) || status.st_uid != m_uid)
            return -1;  // a link, not a folder, or another user's
    }
    return 0;
}

CDesktopTrash::Result CDesktopTrash::Move(const std::string& path, const FileIdentity* expected) const
{
    Result result;
    const std::string name = NameOf(path);
    if (path.empty() || path[0] != '/' || name.empty() || name == "." || name == "..") {
        result.error = EINVAL;
        return result;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        result.error = errno;
        result.status = IsMissing(result.error) ? Status::Gone : Status::Failed;
        return result;
    }
    if (S_ISDIR(status.st_mode)) {
        result.error = EISDIR;
        return result;
    }

    // The home trash, for a file on its file system.
    const std::string home = HomeTrash();
    std::string nearest = home.empty() ? std::string() : home + "/files";
    struct stat homeStatus {};
    while (!nearest.empty() && ::stat(nearest.c_str(), &homeStatus) != 0)
        nearest = nearest == "/" ? std::string() : FolderOf(nearest);
    if (!nearest.empty() && homeStatus.st_dev == status.st_dev) {
        if (const int error = PrepareHome()) {
            result.status = Status::NoTrash;
            result.error = error;
            result.trash = home;
            return result;
        }
        result = MoveInto({home, path}, path, expected);
        if (result.status != Status::Failed || result.error != EXDEV)
            return result;  // else the home trash is on the device but not on the mount
    }

    // The trash at the top of the file's mount, which names the file relative to that top.
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(FolderOf(path).c_str(), nullptr), &std::free);
    if (!real) {
        result.error = errno;
        result.status = IsMissing(result.error) ? Status::Gone : Status::Failed;
        return result;
    }
    const std::string canonical = Joined(real.get(), name);
    const std::string top = MountTop(real.get(), status.st_dev);
    const std::string relative = canonical.substr(top == "/" ? 1 : top.size() + 1);
    const std::string uid = std::to_string(m_uid);
    Result refused;
    refused.status = Status::NoTrash;
    // The move into `trash`, or nothing when that trash cannot take the file.
    const auto tryTrash = [&](const std::string& trash) -> std::optional<Result> {
        const int check = UsableMountTrash(trash);
        if (check == 0) {
            Result moved = MoveInto({trash, relative}, path, expected);
            if (moved.status != Status::Failed || moved.error != EXDEV)
                return moved;
        }
        refused.trash = trash;
        refused.error = check > 0 ? check : check == 0 ? EXDEV : 0;
        return std::nullopt;
    };
    // "$top/.Trash" is made by the administrator for every user; only a sticky folder (not a
    // link) is safe to use.
    const std::string shared = Joined(top, ".Trash");
    struct stat sharedStatus {};
    if (::lstat(shared.c_str(), &sharedStatus) == 0 && S_ISDIR(sharedStatus.st_mode) && (sharedStatus.st_mode & S_ISVTX)) {
        if (auto moved = tryTrash(Joined(shared, uid)))
            return *moved;
    }
    if (auto moved = tryTrash(Joined(top, ".Trash-" + uid)))
        return *moved;
    return refused;
}

CDesktopTrash::Result CDesktopTrash::MoveInto(const Target& target, const std::string& path, const FileIdentity* expected) const
{
    Result result;
    result.trash = target.trash;
    const std::string name = NameOf(path);
    const std::string info = "[Trash Info]\nPath=" + PercentEncoded(target.pathValue) + "\nDeletionDate=" + LocalTimeNow() + "\n";
    for (int attempt = 1; attempt <= kMaxNameTries; ++attempt) {
        const std::string trashName = TrashName(name, attempt);
        const std::string infoPath = target.trash + "/info/" + trashName + std::string(kInfoSuffix);
        const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            result.error = errno;
            return result;
        }
        const bool written = WriteAll(fd, info);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            result.error = written ? errno : writeError;
            ::unlink(infoPath.c_str());
            return result;
        }
        const std::string location = target.trash + "/files/" + trashName;
        if (!RenameNoReplace(path, location)) {
            const int error = errno;
            ::unlink(infoPath.c_str());
            if (error == EEXIST)
                continue;  // a stray file without its information file holds the name
            struct stat status {};
            result.error = error;
            result.status = IsMissing(error) && ::lstat(path.c_str(), &status) != 0 ? Status::Gone : Status::Failed;
            return result;
        }
        struct stat status {};
        if (expected &&
            (::lstat(location.c_str(), &status) != 0 || static_cast<uint64_t>(status.st_dev) != expected->device ||
             static_cast<uint64_t>(status.st_ino) != expected->inode)) {
            result.status = Status::Changed;
            if (RenameNoReplace(location, path))
                ::unlink(infoPath.c_str());
            else
                result.location = location;
            return result;
        }
        result.status = Status::Moved;
        result.location = location;
        return result;
    }
    result.error = EEXIST;
    return result;
}
