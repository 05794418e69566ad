#pragma once
// Replacing a file by the content of an equal file without copying it: by a hard link to it, or
// by sharing its blocks (a reflink). The caller has made sure, just before, that both files are
// the ones it expects and equal byte for byte (CFileCheck::EqualToCopy); these functions check
// again, on what they are about to touch, that both still have the state the caller saw, and
// touch nothing otherwise. At no moment is the file's path without a whole file: the old file
// stays until the new one takes its place in one step. Paths are native bytes; links are never
// followed. Any thread.
#include <string>

#include "platform/FileCheck.h"

enum class LinkResult {
    Done,         // the file now shares the kept file's content
    Changed,      // the file is no longer as the caller saw it; left as it is
    KeptChanged,  // the kept file is gone or no longer as the caller saw it; nothing touched
    OtherDevice,  // the two lie on different file systems (a hard link cannot join them); nothing touched
    Refused,      // the file system cannot share blocks (reflink only; `error` says why); nothing touched
    Failed,       // a system call failed (`error`); the file is as it was
};

struct LinkOutcome {
    LinkResult result = LinkResult::Failed;
    int error = 0;  // errno behind Failed and Refused
    // When Done: what the kept file is now (a new hard link changes its change time).
    FileSeen keptNow;
    // When Done: whether the file's content had no other name, so its bytes came free (always
    // for a reflink).
    bool lastName = false;
};

class CFileLink {
public:
    // Replaces the file at `path` (state `seen`) by a hard link to `kept` (state `keptSeen`): a
    // new link to the kept file under a temporary name in the file's folder, then a rename of that
    // name over `path`. The temporary name is removed whatever fails.
    static LinkOutcome HardLink(const std::string& path, const FileSeen& seen, const std::string& kept, const FileSeen& keptSeen);

    // Makes the file at `path` share the blocks of `kept` (FICLONE on the file itself: its
    // identity, owner, mode and last-write time stay). Refused where the file system cannot (a file
    // system without reflinks, or the two on different file systems).
    static LinkOutcome Reflink(const std::string& path, const FileSeen& seen, const std::string& kept, const FileSeen& keptSeen);
};
