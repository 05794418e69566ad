#include "bench/TreeWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bench/BenchRandom.h"

namespace {

constexpr size_t kChunk = 1 << 20;

std::string Failure(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const unsigned char* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Writes one content to every file that holds it: the stream is made once per chunk.
bool WriteContent(const CTreePlan& plan, const CTreePlan::SContent& content, const std::string& root,
                  std::vector<unsigned char>& buffer, std::string& error)
{
    std::vector<int> fds;
    std::vector<std::string> paths;
    bool ok = true;
    for (uint32_t file : content.files) {
        paths.push_back(root + "/" + plan.FilePath(file));
        const int fd = ::open(paths.back().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = Failure("cannot create", paths.back());
            ok = false;
            break;
        }
        fds.push_back(fd);
    }
    CBenchRandom stream(content.seed);
    for (uint64_t offset = 0; ok && offset < content.size; offset += kChunk) {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(kChunk, content.size - offset));
        stream.Fill(buffer.data(), length);
        if (content.flipAt >= offset && content.flipAt - offset < length)
            buffer[content.flipAt - offset] ^= 0xFF;
        for (size_t i = 0; ok && i < fds.size(); ++i) {
            if (!WriteAll(fds[i], buffer.data(), length)) {
                error = Failure("cannot write", paths[i]);
                ok = false;
            }
        }
    }
    for (size_t i = 0; i < fds.size(); ++i) {
        const struct timespec times[2] = {{plan.files[content.files[i]].mtime, 0}, {plan.files[content.files[i]].mtime, 0}};
        if (ok && ::futimens(fds[i], times) != 0) {
            error = Failure("cannot set the time of", paths[i]);
            ok = false;
        }
        if (::close(fds[i]) != 0 && ok) {
            error = Failure("cannot close", paths[i]);
            ok = false;
        }
    }
    return ok;
}

}  // namespace

bool CTreeWriter::WriteTree(const CTreePlan& plan, const std::string& root, std::string& error)
{
    if (::mkdir(root.c_str(), 0755) != 0) {
        error = Failure("cannot create", root);
        return false;
    }
    // Parents come before their children in the plan.
    for (uint32_t f = 1; f < plan.folders.size(); ++f) {
        const std::string path = root + "/" + plan.FolderPath(f);
        if (::mkdir(path.c_str(), 0755) != 0) {
            error = Failure("cannot create", path);
            return false;
        }
    }
    std::vector<unsigned char> buffer(kChunk);
    for (const CTreePlan::SContent& content : plan.contents) {
        if (!WriteContent(plan, content, root, buffer, error))
            return false;
    }
    for (const CTreePlan::SHardLink& name : plan.hardLinks) {
        const std::string path = root + "/" + plan.FolderPath(name.folder) + (name.folder != 0 ? "/" : "") + name.name;
        if (::link((root + "/" + plan.FilePath(name.file)).c_str(), path.c_str()) != 0) {
            error = Failure("cannot link", path);
            return false;
        }
    }
    for (const CTreePlan::SFolderLink& link : plan.folderLinks) {
        std::string target;
        for (uint32_t depth = plan.folders[link.folder].depth; depth > 0; --depth)
            target += "../";
        target += plan.FolderPath(link.target);
        const std::string path = root + "/" + plan.FolderPath(link.folder) + (link.folder != 0 ? "/" : "") + link.name;
        if (::symlink(target.c_str(), path.c_str()) != 0) {
            error = Failure("cannot link", path);
            return false;
        }
    }
    return true;
}

std::string CTreeWriter::FormatSummary(const CTreePlan::SSummary& s)
{
    const std::pair<const char*, uint64_t> fields[] = {
        {"folders", s.folders},
        {"files", s.files},
        {"bytes", s.bytes},
        {"empty_files", s.emptyFiles},
        {"duplicate_groups", s.duplicateGroups},
        {"duplicate_rows", s.duplicateRows},
        {"duplicate_bytes", s.duplicateBytes},
        {"shared_size_files", s.sharedSizeFiles},
        {"shared_size_bytes", s.sharedSizeBytes},
    };
    std::string text;
    for (const auto& [key, value] : fields)
        text += std::string(key) + "=" + std::to_string(value) + "\n";
    return text;
}

bool CTreeWriter::WriteManifest(const CTreePlan::SSummary& summary, const std::string& header, const std::string& path,
                                std::string& error)
{
    const std::string text = header + FormatSummary(summary);
    const std::string temporary = path + ".part";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        error = Failure("cannot create", temporary);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        error = Failure("cannot write", temporary);
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = Failure("cannot rename", temporary);
        return false;
    }
    return true;
}
