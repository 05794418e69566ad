#pragma once
// What quillon-find does to the files of a set that do not stay: move them to the desktop trash,
// replace them by hard links to the file that stays, or make them share its blocks. Each file is
// checked just before it is touched: it must still be the file the search saw (type, size,
// times, identity), the file that stays must still be the one the search saw, the two must be
// equal byte for byte (both are read), and they must not already be one file (a hard link).
// A file that fails a check is left as it is, with the reason. The file that stays is never
// touched, so no set ever loses its last copy. Main thread (any single thread).
#include <cstdint>
#include <string>

#include "cli/DuplicateSets.h"
#include "platform/DesktopTrash.h"
#include "platform/FileCheck.h"

enum class SetAction { Trash, HardLink, Reflink };

struct ActionOutcome {
    bool done = false;        // acted on (or, in a dry run, would be)
    std::string reason;       // why not, when not done
    uint64_t freedBytes = 0;  // when done: the file's size when no other name keeps its content
};

class CSetActions {
public:
    // With `dryRun`, every check is made but nothing is changed.
    CSetActions(SetAction action, bool dryRun);

    // Checks `file` against `kept` (the file of its set that stays) and acts on it. A hard link
    // changes the kept file's change time: `kept.seen` follows it, so that the next file of the
    // set still finds the kept file as expected.
    ActionOutcome Act(const SetFile& file, SetFile& kept);

private:
    std::string Refusal(FileCheckResult result) const;

    const SetAction m_action;
    const bool m_dryRun;
    CDesktopTrash m_trash;
    bool m_trashPrepared = false;
    CFileCheck m_check;
};
