#include "tests/support/TempDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quillon::test {

TempDir::TempDir(std::string_view tag)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + std::string(tag) + ".XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    m_path = pattern;
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

std::string TempDir::operator/(std::string_view relative) const
{
    return m_path + "/" + std::string(relative);
}

void MakeDirs(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("mkdir " + part + ": " + std::strerror(errno));
    }
}

void WriteFile(const std::string& path, std::string_view content)
{
    auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        MakeDirs(path.substr(0, slash));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void SetMtime(const std::string& path, int64_t seconds, long nanoseconds)
{
    timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat " + path + ": " + std::strerror(errno));
}

void RemoveTree(const std::string& path)
{
    // Make every folder writable and searchable again first, so that tests of unreadable
    // folders do not leave them behind.
    nftw(
        path.c_str(),
        [](const char* p, const struct stat* st, int type, FTW*) {
            if (type == FTW_D || type == FTW_DNR)
                chmod(p, (st->st_mode & 07777) | 0700);
            return 0;
        },
        16, FTW_PHYS);
    nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int type, FTW*) {
            if (type == FTW_DP || type == FTW_DNR)
                rmdir(p);
            else
                unlink(p);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Exists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string RandomBytes(size_t length, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

}  // namespace quillon::test
