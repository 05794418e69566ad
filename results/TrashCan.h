#pragma once
// Moving single files to the desktop trash (freedesktop.org trash, through QFile::moveToTrash),
// with the checks that make it safe: a file is moved only while it is still the file a search
// saw (same identity, size and last-write time); the data folder that holds the home trash is
// made first, so the trash never lands in the current folder; and a move that did not end in a
// trash folder counts as a failure (the file is put back where it was when possible). A file
// whose name is not valid UTF-8 is trashed under its exact bytes. Nothing is ever deleted: when
// the trash cannot take a file, the file stays where it is. Window thread (any single thread).
#include <QString>

#include <cstdint>

#include "platform/FileSystem.h"
#include "platform/PathString.h"

// A file to trash and what the search saw of it.
struct TrashRequest {
    CPathString path;
    bool known = false;  // false: the search has no record of the path
    uint64_t size = 0;
    FileTime lastWrite = 0;
    FileIdentity identity;
};

enum class TrashResult {
    Trashed,  // now in a trash folder
    Gone,     // no longer exists
    Changed,  // not the file the search saw any more; kept
    Failed,   // the trash could not take it; kept (or put back)
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

    // Checks the file against the request and moves it to a trash folder. Prepare runs first if
    // it never has.
    TrashOutcome MoveToTrash(const TrashRequest& request);

    // True when `path` is an absolute path directly inside the "files" folder of a trash folder:
    // the home trash ".../Trash", a volume's ".Trash-<uid>" or ".Trash/<uid>".
    static bool IsInsideTrash(const QString& path);

private:
    TrashOutcome MoveRepresentable(const QString& path, const TrashRequest& request);
    TrashOutcome MoveByTemporaryName(const std::string& bytes, const TrashRequest& request);

    bool m_bPrepared = false;
    bool m_bUsable = false;
    QString m_prepareError;
    unsigned m_nTemporary = 0;
};
