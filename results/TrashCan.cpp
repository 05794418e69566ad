#include "results/TrashCan.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/NativeName.h"
#include "widgets/QtText.h"

namespace {

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Renames without ever replacing what is at `to`. Where the file system cannot rename that way,
// a hard link and the removal of the old name do the same; false with errno set otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

bool SameIdentity(const struct stat& info, const TrashRequest& request)
{
    return static_cast<uint64_t>(info.st_dev) == request.identity.device &&
        static_cast<uint64_t>(info.st_ino) == request.identity.inode;
}

// The file at `bytes` as the search saw it, or why not.
bool CheckFile(const std::string& bytes, const TrashRequest& request, TrashOutcome& outcome)
{
    struct stat info {};
    if (::lstat(bytes.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            outcome = {TrashResult::Gone, QStringLiteral("no longer exists"), {}};
        } else {
            outcome = {TrashResult::Failed, ErrorText(error), {}};
        }
        return false;
    }
    if (!request.known) {
        outcome = {TrashResult::Changed, QStringLiteral("is not a file of the last search"), {}};
        return false;
    }
    const bool same = S_ISREG(info.st_mode) && SameIdentity(info, request) &&
        static_cast<uint64_t>(info.st_size) == request.size &&
        FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec) == request.lastWrite;
    if (!same) {
        outcome = {TrashResult::Changed, QStringLiteral("changed since the search"), {}};
        return false;
    }
    return true;
}

std::string PercentEncoded(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
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

std::string FolderPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NamePart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    if (in)
        buffer << in.rdbuf();
    return buffer.str();
}

// The information file names the path the trash was given; this Qt writes it unescaped, and a
// file that went in under a stand-in name must be named by its own path. Rewrites the "Path="
// value of `info` to name `original`, escaped as the trash wants it, where the value names
// `given` (absolutely, or relative to its volume; escaped or not). False when it names neither.
bool RewritePathLine(std::string& info, const std::string& given, const std::string& original)
{
    const size_t line = info.find("\nPath=");
    if (line == std::string::npos)
        return false;
    const size_t start = line + 6;
    const size_t end = std::min(info.find('\n', start), info.size());
    const std::string value = info.substr(start, end - start);
    // The offset in `whole` at which `value` names the same path, when it does.
    auto tailAt = [&value](const std::string& whole) -> size_t {
        if (whole == value)
            return 0;
        if (!value.empty() && whole.size() > value.size() && whole.ends_with(value) &&
            whole[whole.size() - value.size() - 1] == '/')
            return whole.size() - value.size();
        return std::string::npos;
    };
    std::string newValue;
    if (const size_t at = tailAt(given); at != std::string::npos) {
        newValue = PercentEncoded(original.substr(at));
    } else if (const size_t encodedAt = tailAt(PercentEncoded(given)); encodedAt != std::string::npos) {
        newValue = PercentEncoded(original).substr(encodedAt);
    } else {
        return false;
    }
    info.replace(start, end - start, newValue);
    return true;
}

std::string InfoPathOf(const std::string& trashed)
{
    return FolderPart(FolderPart(trashed)) + "/info/" + NamePart(trashed) + ".trashinfo";
}

// Replaces the information file of a trashed file by one whose path is escaped; the old one
// stays on any failure.
void EscapeTrashInfo(const std::string& trashed, const std::string& original)
{
    const std::string infoPath = InfoPathOf(trashed);
    std::string info = ReadAll(infoPath);
    const std::string before = info;
    if (info.empty() || !RewritePathLine(info, original, original) || info == before)
        return;
    const std::string temporary = FolderPart(infoPath) + "/.quillon-info-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), infoPath.c_str()) != 0)
        ::unlink(temporary.c_str());
}

// A file trashed under a stand-in name takes its own name (bytes) in the trash, and its
// information file names its original path. On any failure it stays under the stand-in name,
// in the trash. Returns its location in the trash.
std::string RestoreNameInTrash(const std::string& trashed, const std::string& standInPath, const std::string& original)
{
    const std::string filesFolder = FolderPart(trashed);
    const std::string trashFolder = FolderPart(filesFolder);
    const std::string oldInfo = InfoPathOf(trashed);
    const std::string name = NamePart(original);
    std::string info = ReadAll(oldInfo);
    if (info.empty() || !RewritePathLine(info, standInPath, original))
        return trashed;

    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string candidate = attempt == 0 ? name : name + "-" + std::to_string(attempt);
        const std::string newInfo = trashFolder + "/info/" + candidate + ".trashinfo";
        const int fd = ::open(newInfo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return trashed;
        }
        const std::string target = JoinPath(filesFolder, candidate);
        if (!RenameNoReplace(trashed, target)) {
            const int error = errno;
            ::close(fd);
            ::unlink(newInfo.c_str());
            if (error == EEXIST)
                continue;
            return trashed;
        }
        const bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        ::close(fd);
        if (written) {
            ::unlink(oldInfo.c_str());
            return target;
        }
        // Back under the stand-in name, which its information file still describes.
        ::unlink(newInfo.c_str());
        return RenameNoReplace(target, trashed) ? trashed : target;
    }
    return trashed;
}

}  // namespace

bool CTrashCan::Prepare(QString* error)
{
    m_bPrepared = true;
    m_bUsable = false;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    // Without its data folder, the trash of this Qt version ends in the current folder.
    if (data.isEmpty() || !QDir().mkpath(data)) {
        m_prepareError = QStringLiteral("the trash folder cannot be made in \"%1\"").arg(data);
        if (error)
            *error = m_prepareError;
        return false;
    }
    const std::string trash = QFile::encodeName(data).toStdString() + "/Trash";
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"})
        ::mkdir(folder.c_str(), 0700);
    m_bUsable = true;
    return true;
}

bool CTrashCan::IsInsideTrash(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')) || QDir::cleanPath(path) != path)
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    const qsizetype n = parts.size();
    if (n < 4 || parts[n - 1].isEmpty() || parts[n - 2] != QLatin1String("files"))
        return false;
    const QString& trash = parts[n - 3];
    if (trash == QLatin1String("Trash") || trash.startsWith(QLatin1String(".Trash-")))
        return true;
    bool number = false;
    trash.toUInt(&number);
    return number && n >= 5 && parts[n - 4] == QLatin1String(".Trash");
}

TrashOutcome CTrashCan::MoveToTrash(const TrashRequest& request)
{
    if (!m_bPrepared)
        Prepare();
    if (!m_bUsable)
        return {TrashResult::Failed, m_prepareError, {}};
    const std::string bytes = EncodeNativeName(request.path.view());
    TrashOutcome outcome;
    if (!CheckFile(bytes, request, outcome))
        return outcome;
    const QString path = ToQString(request.path.view());
    if (QFile::encodeName(path).toStdString() == bytes)
        return MoveRepresentable(path, request);
    return MoveByTemporaryName(bytes, request);
}

namespace {

// After QFile::moveToTrash(given) reported `where`: the outcome, with a file that landed outside
// a trash folder put back at `back` and the information file written beside it removed.
TrashOutcome VerifyTrashed(const QString& where, const TrashRequest& request, const std::string& given, const std::string& back)
{
    const QString absolute = where.isEmpty() ? QString() : QFileInfo(where).absoluteFilePath();
    const std::string whereBytes = QFile::encodeName(absolute).toStdString();
    struct stat info {};
    const bool there = !absolute.isEmpty() && ::lstat(whereBytes.c_str(), &info) == 0 && SameIdentity(info, request);
    if (there && CTrashCan::IsInsideTrash(where))
        return {TrashResult::Trashed, {}, absolute};
    if (!there)
        return {TrashResult::Failed, QStringLiteral("the trash did not take it"), {}};
    if (RenameNoReplace(whereBytes, back)) {
        const std::string strayInfo = InfoPathOf(whereBytes);
        std::string text = ReadAll(strayInfo);
        if (!text.empty() && RewritePathLine(text, given, given))
            ::unlink(strayInfo.c_str());
        return {TrashResult::Failed, QStringLiteral("the trash put it outside a trash folder; it was put back"), {}};
    }
    return {TrashResult::Failed,
            QStringLiteral("the trash put it outside a trash folder, at \"%1\" (%2)").arg(absolute, ErrorText(errno)),
            {}};
}

}  // namespace

TrashOutcome CTrashCan::MoveRepresentable(const QString& path, const TrashRequest& request)
{
    QFile file(path);
    if (!file.moveToTrash())
        return {TrashResult::Failed, file.errorString(), {}};
    const std::string bytes = QFile::encodeName(path).toStdString();
    TrashOutcome outcome = VerifyTrashed(file.fileName(), request, bytes, bytes);
    if (outcome.result == TrashResult::Trashed)
        EscapeTrashInfo(QFile::encodeName(outcome.location).toStdString(), bytes);
    return outcome;
}

TrashOutcome CTrashCan::MoveByTemporaryName(const std::string& bytes, const TrashRequest& request)
{
    // The trash takes file names as text. A name that is not valid UTF-8 goes in under an ASCII
    // stand-in name in the same folder, then takes its own bytes back inside the trash.
    const std::string folder = FolderPart(bytes);
    if (QFile::encodeName(QFile::decodeName(QByteArray::fromStdString(folder))).toStdString() != folder) {
        return {
            TrashResult::Failed, QStringLiteral("the name of its folder is not valid UTF-8, which the trash cannot take"), {}};
    }
    std::string standIn;
    for (int attempt = 0;; ++attempt) {
        standIn = JoinPath(folder, ".quillon-trash-" + std::to_string(::getpid()) + "-" + std::to_string(++m_nTemporary));
        if (RenameNoReplace(bytes, standIn))
            break;
        if (errno != EEXIST || attempt > 100)
            return {TrashResult::Failed, ErrorText(errno), {}};
    }
    QFile file(QFile::decodeName(QByteArray::fromStdString(standIn)));
    if (!file.moveToTrash()) {
        const QString reason = file.errorString();
        RenameNoReplace(standIn, bytes);
        return {TrashResult::Failed, reason, {}};
    }
    TrashOutcome outcome = VerifyTrashed(file.fileName(), request, standIn, bytes);
    if (outcome.result != TrashResult::Trashed) {
        struct stat info {};
        if (::lstat(standIn.c_str(), &info) == 0)
            RenameNoReplace(standIn, bytes);
        return outcome;
    }
    const std::string trashed = QFile::encodeName(outcome.location).toStdString();
    outcome.location = ToQString(DecodeNativeName(RestoreNameInTrash(trashed, standIn, bytes)));
    return outcome;
}
