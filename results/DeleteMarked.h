#pragma once
// Moving the marked files to the trash in one step: what the search saw of each file, a
// confirmation that also says how many of the files are the last copies of their content in
// the results, the moves with a progress dialog for long lists, and one message at the end that
// lists every file that was not moved and why. Nothing is ever deleted. Window thread only.
#include <QString>

#include <functional>
#include <vector>

#include "engine/FileRecord.h"
#include "results/TrashCan.h"

class CResultsView;
class QWidget;

class CDeleteMarked {
public:
    // Lists above this many files show a progress dialog while they are moved.
    static constexpr int kProgressThreshold = 50;

    // `list`: the marked paths (CollectMarkedFiles); `files`: the records of the search that made
    // the rows, which give each path's identity, size and times. A set is the original of some
    // rows with their duplicates; each marked file of a set that is not wholly marked gets the
    // set's unmarked files, which stay, as the copies it is checked against before it moves.
    CDeleteMarked(const CResultsView& view, const std::vector<CPathString>& list, const FileList& files);

    const std::vector<TrashRequest>& Requests() const { return m_requests; }

    // The marked files whose every copy in the results is marked: trashing them leaves no
    // unmarked file of that content in the results.
    int LastCopies() const { return m_nLastCopies; }

    // "Are you sure you want to move these N items to the Trash?" (or the single-file form),
    // with a note on the last copies when there are any.
    QString ConfirmationText() const;

    // Moves every requested file in order. `progress(done)` runs before each file; returning
    // false stops, and the files not tried are reported as not moved. One outcome per request.
    std::vector<TrashOutcome> MoveAll(CTrashCan& trash, const std::function<bool(int)>& progress = {});

    // The end message: every file that was not moved and why; empty when all were moved.
    QString ReportText(const std::vector<TrashOutcome>& outcomes) const;

    // The whole step, with `owner` as the parent of its dialogs: confirmation, moves, report.
    // The confirmation is a question with Yes as its default button, or, when LastCopies() is
    // not 0, a warning with No as its default. Returns true when the person confirmed (whatever
    // the moves did); false, having moved nothing, when they declined or nothing was marked.
    bool Run(QWidget* owner, CTrashCan& trash);

private:
    std::vector<TrashRequest> m_requests;
    int m_nLastCopies = 0;
};
