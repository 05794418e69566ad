#include "app/ACEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include "platform/FileAttributes.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/PosixFileSystem.h"

namespace {

// Shows the wait cursor for the life of the object.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

bool IsMovementKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

}  // namespace

CACEdit::CACEdit(QWidget* parent) : QLineEdit(parent), m_listWnd(this), m_pFileSystem(&CPosixFileSystem::Instance())
{
    // Only the user's typing completes: a text set by the program (the data exchange, a chosen
    // row, the folder chooser) starts nothing.
    connect(this, &QLineEdit::textEdited, this, [this] { OnTextChanged(); });
}

void CACEdit::AttachToControl()
{
    if (m_nKind != -1)
        return;
    m_nKind = 1;
    m_listWnd.Initialise(this);
}

void CACEdit::SetCompletionMode(uint32_t mode, std::u16string separators)
{
    m_nMode = mode;
    m_strSeparators = std::move(separators);
}

void CACEdit::OnTextChanged()
{
    if (m_nKind == -1 || m_bIgnoreChanges)
        return;
    const QString text = this->text();
    m_strText = text.toStdU16String();
    // The shortest path that completes is the root "/".
    if (text.isEmpty() || cursorPosition() != text.size()) {
        m_listWnd.hide();
        return;
    }
    if (PathExists(m_strText))
        LoadFolderCandidates(m_strText);
    m_listWnd.FilterAndShow(text);
}

void CACEdit::LoadFolderCandidates(const std::u16string& path)
{
    // A relative path names nothing we could list the right folder for.
    if (path.empty() || path.front() != kPathSeparator)
        return;
    const CWaitCursor waitCursor;
    std::u16string folder = path;
    if (folder.back() != kPathSeparator)
        folder.erase(folder.rfind(kPathSeparator) + 1);
    const std::u16string prefix = folder;
    if (folder == m_strLastFolder && m_listWnd.CandidateCount() != 0)
        return;
    m_strLastFolder = folder;
    std::unique_ptr<IDirListing> listing = m_pFileSystem->OpenFolder(folder);
    if (listing)
        m_listWnd.ClearCandidates();
    // A folder that cannot be listed joins the candidates there are (once: it may be one).
    const QString self = QString::fromStdU16String(folder);
    if (!listing) {
        if (!m_listWnd.HasCandidate(self))
            m_listWnd.AddCandidate(self);
        return;
    }
    m_listWnd.AddCandidate(self);
    DirEntry entry;
    std::u16string candidate;
    while (listing->Next(entry)) {
        if ((m_nMode & ACEDIT_ONLY_FOLDERS) && !entry.isFolder)
            continue;
        if ((m_nMode & ACEDIT_ONLY_FILES) && entry.isFolder)
            continue;
        candidate = prefix;
        AddTrailingBackslash(candidate);
        candidate += entry.name;
        if (entry.isFolder)
            candidate += kPathSeparator;
        m_listWnd.AddCandidate(QString::fromStdU16String(candidate));
    }
}

bool CACEdit::ProcessKey(int key, bool useSelection)
{
    if (key == Qt::Key_Escape) {
        m_listWnd.hide();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_listWnd.isVisible()) {
            const QString chosen = m_listWnd.SelectedText();
            m_strText = chosen.toStdU16String();
            m_listWnd.hide();
            setText(chosen);
        }
        emit CompletionChosen();
        return true;
    }
    if (!IsMovementKey(key) || !m_listWnd.isVisible())
        return false;
    m_bIgnoreChanges = true;
    QString chosen = useSelection ? m_listWnd.SelectedText() : m_listWnd.MoveSelection(key);
    // The root keeps its separator: without it the edit would be empty.
    if ((m_nMode & ACEDIT_FILESYSTEM) && chosen.size() > 1 && chosen.endsWith(QChar(kPathSeparator)))
        chosen.chop(1);
    m_strText = chosen.toStdU16String();
    m_listWnd.ScrollToItem(m_listWnd.SelectedIndex(), false);
    m_listWnd.update();
    setText(chosen);
    setCursorPosition(static_cast<int>(chosen.size()));
    setModified(true);
    m_bIgnoreChanges = false;
    return true;
}

void CACEdit::OnCompletionChosen()
{
    ProcessKey(Qt::Key_Down, true);
    emit CompletionChosen();
}

void CACEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (m_nKind != -1) {
        // Enter and Esc stay in the edit whether or not the list is shown.
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
            ProcessKey(key, false);
            event->accept();
            return;
        }
        if (IsMovementKey(key) && ProcessKey(key, false)) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CACEdit::focusOutEvent(QFocusEvent* event)
{
    m_listWnd.hide();
    QLineEdit::focusOutEvent(event);
}
