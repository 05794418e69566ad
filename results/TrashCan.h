#pragma once
// Moving single files to the desktop trash (freedesktop.org trash, CDesktopTrash: any name, in
// any folder, to the trash of the file's own file system), with the checks that make it safe,
// made just before each file is touched: a file is moved only while it is still the file a search
// saw (type, size, last-write and change time, identity), and, when copies of it stay, only while
// one of them is still the file the search saw and equal to it byte for byte. Nothing is ever
// deleted: when a check fails or no trash can take a file, the file stays where it is.
// Window thread (any single thread).
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/DesktopTrash.h"
#include "platform/FileCheck.h"
#include "platform/PathString.h"

// A file of the same set that stays when a marked file goes.
struct TrashCopy {
    CPathString path;
    bool known = false;  // false: the search has no record of the path
    FileSeen seen;
};

// A file to trash and what the search saw of it.
struct TrashRequest {
    CPathString path;
    bool known = false;  // false: the search has no record of the path
    FileSeen seen;
    // The unmarked files of its set, in the order they are tried: the file moves only while one
    // of them is still as the search saw it and equal to it byte for byte. Null or empty when
    // every file of its set is marked: it moves as the person confirmed.
    std::shared_ptr<const std::vector<TrashCopy>> copies;
};

enum class TrashResult {
    Trashed,     // now in a trash folder
    Gone,        // no longer exists
    Changed,     // not the file the search saw any more; kept
    Failed,      // the trash could not take it; kept (or put back)
    CopyFailed,  // no copy that stays is still the file the search saw and equal to it; kept
};

struct TrashOutcome {
    TrashResult result = TrashResult::Failed;
    QString reason;    // why it was not trashed; empty when trashed
    QString location;  // where it is in the trash, when trashed
};

class CTrashCan {
public:
    // Makes the data folder of the home trash ($XDG_DATA_HOME or ~/.local/share) and the trash's
    // "files" and "info" folders if missing. False with `error` set when the data folder cannot
    // be made; every move is refused until a later Prepare succeeds.
    bool Prepare(QString* error = nullptr);

    // Checks the file (and its copies) against the request and moves it to a trash folder.
    // Prepare runs first if it never has.
    TrashOutcome MoveToTrash(const TrashRequest& request);

    // True when `path` is an absolute path directly inside the "files" folder of a trash folder:
    // the home trash ".../Trash", a volume's ".Trash-<uid>" or ".Trash/<uid>".
    static bool IsInsideTrash(const QString& path);

private:
    // True when one of the request's copies is still as the search saw it and equal to the file
    // byte for byte; else false with why in `refused`.
    bool CopyStays(const std::string& bytes, const TrashRequest& request, TrashOutcome& refused);

    CDesktopTrash m_trash;
    CFileCheck m_check;
    bool m_bPrepared = false;
    bool m_bUsable = false;
    QString m_prepareError;
};
