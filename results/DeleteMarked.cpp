#include "results/DeleteMarked.h"

#include <QMessageBox>
#include <QProgressDialog>

#include <unordered_map>

#include "results/ResultsView.h"
#include "widgets/QtText.h"

namespace {

constexpr int kListedInMessage = 20;

}  // namespace

CDeleteMarked::CDeleteMarked(const CResultsView& view, const std::vector<CPathString>& list, const FileList& files)
{
    std::unordered_map<CPathString, size_t, PathHash> index;
    index.reserve(list.size());
    m_requests.reserve(list.size());
    for (const CPathString& path : list) {
        if (index.emplace(path, m_requests.size()).second) {
            TrashRequest request;
            request.path = path;
            m_requests.push_back(std::move(request));
        }
    }

    // A set is the original of some rows and their duplicates: files of one content. Each file
    // belongs to the first set it appears in.
    struct Set {
        std::vector<CPathString> files;
        bool allMarked = true;
    };
    std::vector<Set> sets;
    std::unordered_map<CPathString, size_t, PathHash> setOf;
    const int rows = view.RowCount();
    setOf.reserve(static_cast<size_t>(rows) + 1);
    for (int row = 0; row < rows; ++row) {
        const CDuplicatePair& pair = view.Row(row);
        const auto [original, isNew] = setOf.emplace(pair.originalPath, sets.size());
        if (isNew)
            sets.push_back({{pair.originalPath}, index.count(pair.originalPath) != 0});
        Set& set = sets[original->second];
        if (setOf.emplace(pair.duplicatePath, original->second).second) {
            set.files.push_back(pair.duplicatePath);
            set.allMarked = set.allMarked && index.count(pair.duplicatePath) != 0;
        }
    }

    // What the search saw of every marked file and of every file of a set.
    std::unordered_map<CPathString, TrashCopy, PathHash> seen;
    seen.reserve(setOf.size());
    for (const auto& [path, set] : setOf)
        seen.emplace(path, TrashCopy{path, false, {}});
    for (const CFileRecord& record : files) {
        const FileSeen what{record.size, record.lastWrite, record.changeTime, record.identity};
        if (const auto found = index.find(record.path); found != index.end()) {
            TrashRequest& request = m_requests[found->second];
            request.known = true;
            request.seen = what;
        }
        if (const auto found = seen.find(record.path); found != seen.end()) {
            found->second.known = true;
            found->second.seen = what;
        }
    }

    // Each marked file of a set is checked against the set's unmarked files, which stay; the
    // files of a wholly marked set have none and are its last copies.
    for (const Set& set : sets) {
        if (set.allMarked) {
            m_nLastCopies += static_cast<int>(set.files.size());
            continue;
        }
        auto copies = std::make_shared<std::vector<TrashCopy>>();
        for (const CPathString& path : set.files) {
            if (!index.count(path))
                copies->push_back(seen.at(path));
        }
        for (const CPathString& path : set.files) {
            if (const auto found = index.find(path); found != index.end())
                m_requests[found->second].copies = copies;
        }
    }
}

QString CDeleteMarked::ConfirmationText() const
{
    const int count = static_cast<int>(m_requests.size());
    QString text = count == 1
        ? QStringLiteral("Are you sure you want to move \"%1\" to the Trash?").arg(ToQString(m_requests.front().path.view()))
        : QStringLiteral("Are you sure you want to move these %1 items to the Trash?").arg(count);
    if (m_nLastCopies > 0) {
        text += QStringLiteral("\n\n%1 of these files would leave no unmarked copy of their content in the results: "
                               "every file of their group is marked.")
                    .arg(m_nLastCopies);
    }
    return text;
}

std::vector<TrashOutcome> CDeleteMarked::MoveAll(CTrashCan& trash, const std::function<bool(int)>& progress)
{
    std::vector<TrashOutcome> outcomes;
    outcomes.reserve(m_requests.size());
    trash.Prepare();  // the data folder may have gone since the last time
    bool stopped = false;
    for (const TrashRequest& request : m_requests) {
        if (!stopped && progress && !progress(static_cast<int>(outcomes.size())))
            stopped = true;
        if (stopped)
            outcomes.push_back({TrashResult::Failed, QStringLiteral("not moved: stopped"), {}});
        else
            outcomes.push_back(trash.MoveToTrash(request));
    }
    return outcomes;
}

QString CDeleteMarked::ReportText(const std::vector<TrashOutcome>& outcomes) const
{
    QStringList lines;
    for (size_t i = 0; i < outcomes.size() && i < m_requests.size(); ++i) {
        if (outcomes[i].result != TrashResult::Trashed)
            lines << QStringLiteral("%1: %2").arg(ToQString(m_requests[i].path.view()), outcomes[i].reason);
    }
    if (lines.isEmpty())
        return {};
    return QStringLiteral("%1 of %2 files were not moved to the Trash and are still in place:\n\n%3")
        .arg(lines.size())
        .arg(outcomes.size())
        .arg(lines.join(QLatin1Char('\n')));
}

bool CDeleteMarked::Run(QWidget* owner, CTrashCan& trash)
{
    if (m_requests.empty())
        return false;
    // When the marks would leave some content with no unmarked copy, the question is a warning
    // and Enter answers No: taking the last copies takes a deliberate Yes.
    const bool lastCopies = m_nLastCopies > 0;
    QMessageBox question(lastCopies ? QMessageBox::Warning : QMessageBox::Question, QStringLiteral("Quillon"), ConfirmationText(),
                         QMessageBox::Yes | QMessageBox::No, owner);
    question.setDefaultButton(lastCopies ? QMessageBox::No : QMessageBox::Yes);
    question.setEscapeButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        return false;

    const int count = static_cast<int>(m_requests.size());
    std::unique_ptr<QProgressDialog> progressDialog;
    if (count > kProgressThreshold) {
        progressDialog = std::make_unique<QProgressDialog>(QStringLiteral("Moving files to the Trash..."), QStringLiteral("Stop"),
                                                           0, count, owner);
        progressDialog->setWindowModality(Qt::WindowModal);
        progressDialog->setMinimumDuration(500);
    }
    const std::vector<TrashOutcome> outcomes = MoveAll(trash, [&](int done) {
        if (!progressDialog)
            return true;
        progressDialog->setValue(done);
        return !progressDialog->wasCanceled();
    });
    progressDialog.reset();

    const QString report = ReportText(outcomes);
    if (!report.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillon"), QString(), QMessageBox::Ok, owner);
        QStringList lines = report.split(QLatin1Char('\n'));
        // Long lists keep the message on the screen: the rest is in the details.
        if (lines.size() > kListedInMessage + 2) {
            box.setDetailedText(report);
            const qsizetype more = lines.size() - (kListedInMessage + 2);
            lines = lines.mid(0, kListedInMessage + 2);
            lines << QStringLiteral("... and %1 more (see the details)").arg(more);
        }
        box.setText(lines.join(QLatin1Char('\n')));
        box.exec();
    }
    return true;
}
