#include "results/TrashCan.h"

#include <QDir>
#include <QStringList>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/NativeName.h"
#include "widgets/QtText.h"

namespace {

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString NativeText(const std::string& bytes)
{
    return ToQString(DecodeNativeName(bytes));
}

const QString kGone = QStringLiteral("no longer exists");
const QString kChanged = QStringLiteral("changed since the search");

// The outcome of a check of the file itself that did not pass.
TrashOutcome Refused(FileCheckResult result, int error)
{
    switch (result) {
    case FileCheckResult::Gone:
        return {TrashResult::Gone, kGone, {}};
    case FileCheckResult::Changed:
        return {TrashResult::Changed, kChanged, {}};
    default:
        return {TrashResult::Failed, ErrorText(error), {}};
    }
}

}  // namespace

bool CTrashCan::Prepare(QString* error)
{
    m_bPrepared = true;
    m_bUsable = false;
    m_trash = CDesktopTrash();  // the data folder as the environment names it now
    if (m_trash.PrepareHome() != 0) {
        m_prepareError = QStringLiteral("the trash folder cannot be made in \"%1\"").arg(NativeText(m_trash.DataHome()));
        if (error)
            *error = m_prepareError;
        return false;
    }
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

bool CTrashCan::CopyStays(const std::string& bytes, const TrashRequest& request, TrashOutcome& refused)
{
    const std::vector<TrashCopy>& copies = *request.copies;
    QString firstReason;
    for (const TrashCopy& copy : copies) {
        const QString name = ToQString(copy.path.view());
        QString reason;
        if (!copy.known) {
            reason = QStringLiteral("its copy \"%1\" is not a file of the last search").arg(name);
        } else {
            switch (const FileCheckResult result =
                        m_check.EqualToCopy(bytes, request.seen, EncodeNativeName(copy.path.view()), copy.seen)) {
            case FileCheckResult::Same:
            case FileCheckResult::SameFile:  // a hard link of it stays: so does its content
                return true;
            case FileCheckResult::Gone:
            case FileCheckResult::Changed:
            case FileCheckResult::Unreadable:
                refused = Refused(result, m_check.Error());
                return false;
            case FileCheckResult::CopyGone:
                reason = QStringLiteral("its copy \"%1\" no longer exists").arg(name);
                break;
            case FileCheckResult::CopyChanged:
                reason = QStringLiteral("its copy \"%1\" changed since the search").arg(name);
                break;
            case FileCheckResult::CopyUnreadable:
                reason = QStringLiteral("its copy \"%1\" cannot be read (%2)").arg(name, ErrorText(m_check.Error()));
                break;
            case FileCheckResult::Different:
                reason = QStringLiteral("it is not equal to its copy \"%1\" byte for byte").arg(name);
                break;
            }
        }
        if (firstReason.isEmpty())
            firstReason = reason;
    }
    if (copies.size() > 1)
        firstReason += QStringLiteral("; its %1 other copies failed the same check").arg(copies.size() - 1);
    refused = {TrashResult::CopyFailed, firstReason, {}};
    return false;
}

TrashOutcome CTrashCan::MoveToTrash(const TrashRequest& request)
{
    if (!m_bPrepared)
        Prepare();
    if (!m_bUsable)
        return {TrashResult::Failed, m_prepareError, {}};
    const std::string bytes = EncodeNativeName(request.path.view());
    if (!request.known) {
        struct stat info {};
        if (::lstat(bytes.c_str(), &info) != 0) {
            const int error = errno;
            return Refused(error == ENOENT || error == ENOTDIR ? FileCheckResult::Gone : FileCheckResult::Unreadable, error);
        }
        return {TrashResult::Changed, QStringLiteral("is not a file of the last search"), {}};
    }
    if (const FileCheckResult result = m_check.Unchanged(bytes, request.seen); result != FileCheckResult::Same)
        return Refused(result, m_check.Error());
    TrashOutcome refused;
    if (request.copies && !request.copies->empty() && !CopyStays(bytes, request, refused))
        return refused;

    const CDesktopTrash::Result moved = m_trash.Move(bytes, &request.seen.identity);
    switch (moved.status) {
    case CDesktopTrash::Status::Moved:
        return {TrashResult::Trashed, {}, NativeText(moved.location)};
    case CDesktopTrash::Status::Gone:
        return {TrashResult::Gone, kGone, {}};
    case CDesktopTrash::Status::Changed:
        if (moved.location.empty())
            return {TrashResult::Changed, kChanged, {}};
        return {TrashResult::Changed,
                QStringLiteral("changed since the search; what was in its place is in the trash at \"%1\"")
                    .arg(NativeText(moved.location)),
                {}};
    case CDesktopTrash::Status::NoTrash:
        return {TrashResult::Failed,
                QStringLiteral("no trash on its file system can take it (\"%1\": %2)")
                    .arg(NativeText(moved.trash),
                         moved.error != 0 ? ErrorText(moved.error) : QStringLiteral("a link or not a folder of yours")),
                {}};
    case CDesktopTrash::Status::Failed:
        break;
    }
    return {TrashResult::Failed, ErrorText(moved.error), {}};
}
