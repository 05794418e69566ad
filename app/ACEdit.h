#pragma once
// The path edit with folder completion. Once the typed text names something that exists, the
// subfolders of its folder (links to folders count) become the candidates of the drop-down
// (CACListWnd), read through the file-system interface with the wait cursor shown; further typing
// in the same folder only filters them. Up, Down, Page Up, Page Down, Home and End move through
// the shown rows and put the row's path, without its trailing separator, into the edit; Enter
// puts the chosen path with its separator and closes the list; Esc closes it. Enter and Esc never
// reach the dialog; Tab moves the focus on as everywhere. Only the user's own typing starts a
// completion, never a text the program sets. Window thread only.
#include <QLineEdit>

#include <cstdint>
#include <string>

#include "app/ACListWnd.h"

class IFileSystem;

// Completion modes.
constexpr uint32_t ACEDIT_FILESYSTEM = 0x4;        // complete file-system paths
constexpr uint32_t ACEDIT_ONLY_FILES = 0x10000;    // offer files only
constexpr uint32_t ACEDIT_ONLY_FOLDERS = 0x20000;  // offer folders only

class CACEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CACEdit(QWidget* parent = nullptr);

    // Creates the drop-down list; before this the edit completes nothing. Once only.
    void AttachToControl();

    // The completion mode (ACEDIT_ bits) and the separator set (kept; not used by folder
    // completion).
    void SetCompletionMode(uint32_t mode, std::u16string separators);

    // Where folders are listed; the real file system unless a test gives another. Not owned.
    void SetFileSystem(IFileSystem* fileSystem) { m_pFileSystem = fileSystem; }

    // Escape, Enter, and the movement keys while the list is shown, as described above. With
    // `useSelection` the selected row is taken instead of moving. True when the key was handled.
    bool ProcessKey(int key, bool useSelection);

    // The list reports a row picked with the mouse: the row's path goes into the edit.
    void OnCompletionChosen();

    CACListWnd& ListWnd() { return m_listWnd; }
    bool IsListVisible() const { return m_listWnd.isVisible(); }
    // The folder whose subfolders are the candidates (with a trailing separator); empty at first.
    const std::u16string& LastFolderRead() const { return m_strLastFolder; }

signals:
    // A completion was chosen (Enter, or a row picked with the mouse).
    void CompletionChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void OnTextChanged();
    void LoadFolderCandidates(const std::u16string& path);

    CACListWnd m_listWnd;
    IFileSystem* m_pFileSystem;
    std::u16string m_strText;
    std::u16string m_strSeparators;
    std::u16string m_strLastFolder;
    uint32_t m_nMode = 1;
    bool m_bIgnoreChanges = false;
    int m_nKind = -1;  // -1 until attached, then 1 (an edit)
};
