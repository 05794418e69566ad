#include "cli/SetActions.h"

#include <sys/stat.h>

#include <cstring>

#include "cli/RowText.h"
#include "platform/FileLink.h"
#include "platform/NativeName.h"

namespace {

std::string WithError(const char* what, int error)
{
    return error == 0 ? std::string(what) : std::string(what) + ": " + std::strerror(error);
}

}  // namespace

CSetActions::CSetActions(SetAction action, bool dryRun) : m_action(action), m_dryRun(dryRun)
{
}

std::string CSetActions::Refusal(FileCheckResult result) const
{
    switch (result) {
    case FileCheckResult::Gone:
        return "gone since the search";
    case FileCheckResult::Changed:
        return "changed since the search";
    case FileCheckResult::Unreadable:
        return WithError("cannot be read", m_check.Error());
    case FileCheckResult::CopyGone:
        return "the kept file is gone";
    case FileCheckResult::CopyChanged:
        return "the kept file changed since the search";
    case FileCheckResult::CopyUnreadable:
        return WithError("the kept file cannot be read", m_check.Error());
    case FileCheckResult::Different:
        return "its content differs from the kept file's";
    case FileCheckResult::SameFile:
        return "already a hard link of the kept file";
    case FileCheckResult::Same:
        break;
    }
    return {};
}

ActionOutcome CSetActions::Act(const SetFile& file, SetFile& kept)
{
    ActionOutcome outcome;
    if (!file.known || !kept.known) {
        outcome.reason = "the search has no record of it";
        return outcome;
    }
    if (m_action == SetAction::HardLink && file.seen.identity.device != kept.seen.identity.device) {
        outcome.reason = "on another file system than the kept file";
        return outcome;
    }
    const std::string path = EncodeNativeName(file.path.view());
    const std::string keptPath = EncodeNativeName(kept.path.view());
    const FileCheckResult check = m_check.EqualToCopy(path, file.seen, keptPath, kept.seen);
    if (check != FileCheckResult::Same) {
        outcome.reason = Refusal(check);
        return outcome;
    }
    // The bytes come free when this is the last name of the file's content (blocks shared by a
    // reflink come free from every name of the file); a hard link tells itself.
    bool lastName = m_action == SetAction::Reflink;
    struct stat status {};
    if (m_action == SetAction::Trash || (m_dryRun && !lastName))
        lastName = ::lstat(path.c_str(), &status) == 0 && status.st_nlink == 1;
    if (m_dryRun) {
        outcome.done = true;
        outcome.freedBytes = lastName ? file.seen.size : 0;
        return outcome;
    }
    switch (m_action) {
    case SetAction::Trash: {
        if (!m_trashPrepared) {
            m_trash.PrepareHome();  // a file on another mount may still go to that mount's trash
            m_trashPrepared = true;
        }
        const CDesktopTrash::Result moved = m_trash.Move(path, &file.seen.identity);
        switch (moved.status) {
        case CDesktopTrash::Status::Moved:
            outcome.done = true;
            break;
        case CDesktopTrash::Status::Gone:
            outcome.reason = "gone since the search";
            break;
        case CDesktopTrash::Status::Changed:
            outcome.reason = "changed since the search";
            break;
        case CDesktopTrash::Status::NoTrash:
            outcome.reason =
                WithError(("no trash of its file system can take it (" + QuotedText(DecodeNativeName(moved.trash)) + ")").c_str(),
                          moved.error);
            break;
        case CDesktopTrash::Status::Failed:
            outcome.reason = WithError("cannot be moved to the trash", moved.error);
            break;
        }
        break;
    }
    case SetAction::HardLink:
    case SetAction::Reflink: {
        const LinkOutcome linked = m_action == SetAction::HardLink ? CFileLink::HardLink(path, file.seen, keptPath, kept.seen)
                                                                   : CFileLink::Reflink(path, file.seen, keptPath, kept.seen);
        switch (linked.result) {
        case LinkResult::Done:
            outcome.done = true;
            lastName = linked.lastName;
            kept.seen = linked.keptNow;
            break;
        case LinkResult::Changed:
            outcome.reason = "changed since the search";
            break;
        case LinkResult::KeptChanged:
            outcome.reason = "the kept file changed since the search";
            break;
        case LinkResult::OtherDevice:
            outcome.reason = "on another file system than the kept file";
            break;
        case LinkResult::Refused:
            outcome.reason = WithError("the file system cannot share blocks", linked.error);
            break;
        case LinkResult::Failed:
            outcome.reason =
                WithError(m_action == SetAction::HardLink ? "cannot be linked" : "cannot share blocks", linked.error);
            break;
        }
        break;
    }
    }
    if (outcome.done)
        outcome.freedBytes = lastName ? file.seen.size : 0;
    return outcome;
}
