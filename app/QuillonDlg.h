#pragma once
// The main window: the folder input (path edit, folders list and its buttons), the search row
// with the size range in kilobytes, the results list, the selection and deletion commands and a
// five-pane status bar, laid out by template 102 and kept in place by the anchor layout when the
// window is resized. It decides which controls are enabled, exchanges the path and the size
// range with its members, and remembers its placement under "Quillon". It starts a search on a
// worker thread, shows its progress, and shows its rows. Window thread only, except that the
// worker's messages reach the handlers through the window thread (CWindowSink).
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ACEdit.h"
#include "app/FoldersList.h"
#include "app/MyDropTarget.h"
#include "app/SearchWorker.h"
#include "app/WindowSink.h"
#include "engine/StopWatch.h"
#include "results/ListControlMem.h"
#include "results/MenuButton.h"
#include "results/ResultsView.h"
#include "results/RowMenu.h"
#include "results/SelectionCommands.h"
#include "results/TrashCan.h"
#include "widgets/AnchorLayout.h"
#include "widgets/ImageList.h"
#include "widgets/ResizableDialog.h"
#include "widgets/StaticSeparator.h"
#include "widgets/StatusPane.h"

class CMoreFoldersDlg;
class QLabel;
class QLineEdit;
class QPushButton;

class CQuillonDlg : public CResizableDialog {
    Q_OBJECT
public:
    // The path edit starts with the stored last path of theSettings.
    explicit CQuillonDlg(QWidget* parent = nullptr);
    ~CQuillonDlg() override;

    // Enables the result commands (and the results list) exactly when the last search left rows,
    // disables "Stop", and enables the folder "Delete" exactly when a folder is selected.
    void EnableResultCommands();

    // The status bar and its six panes (0 stretches; 1 to 4 are as wide as their templates; 5
    // reads "Marked: N files, SIZE", empty while nothing is marked).
    QStatusBar& StatusBar() { return m_statusBar; }
    CStatusPane* StatusPane(int index) const;

    // Starts a search of the stored folders with the typed size range: reads the controls, locks
    // out every control that reads or changes the folders, the settings or the results, empties
    // the panes and the results list, and starts the worker. Does nothing while a search runs.
    void OnSearch();
    // Asks the running search to end early: disables "Stop", raises the stop flag.
    void OnStop();
    // The worker's messages: the scan's progress, the grouping phase's progress, the end.
    void OnScanProgress();
    void OnCompareProgress();
    void OnSearchDone();
    // Writes "p% - Quillon" into the title, or "Quillon" for -1; nothing when p is already shown.
    void ShowPercentInTitle(int percent);
    // The end of every run: a title that shows a percentage becomes "Quillon" again.
    void RestoreTitle();
    // A click on a results column header: the sort state, then the rows re-sorted and the list
    // refilled with the marks kept by path.
    void OnHeaderClick(const CNotify& notify);
    // Rebuilds the results list from g_duplicates, every cell unmarked.
    void FillResults();
    // The marked paths of the results list, in row order, each once; `set` holds the same.
    void CollectMarkedFiles(std::vector<CPathString>& list, MarkedPathSet& set) const;

    // A click on the results list: toggles the mark of the cell when the click was on its box.
    void OnResultsClick(const CNotify& notify);
    // The picks of the "Select" (newer, older) and "Folders" menu buttons.
    void OnSelectMenu();
    void OnFoldersMenu();
    // Asks for a pattern (a new pattern dialog each time) and marks the files it matches.
    void OnWildcards();
    // Clears every mark.
    void OnDeselect();
    // A double click or Enter on a results cell: opens the file of a path cell.
    void OnOpenResult(const CNotify& notify);
    // The row menu of the results list at the notification's screen point (CRowMenu).
    void OnResultsMenu(const CNotify& notify);
    // Shows the marked total in pane 5 now.
    void ShowMarkedTotal();
    // The Folders menu lists at most this many folders, then "More Folders...".
    static constexpr int kFoldersInMenu = 25;
    static constexpr uint32_t kMoreFoldersCommand = 0xFFFF;
    // Runs the "More Folders..." dialog (made with the whole list); returns the picked entry's
    // index or -1. Replaceable for tests.
    std::function<int(CMoreFoldersDlg&)> m_runMoreFolders;
    // Gives the Folders button a menu of the folders of the last search, largest count first,
    // each with the number of distinct files directly in it; made when it is first opened.
    // After a search without folders the button keeps its menu.
    void BuildFoldersMenu();
    // Moves the marked files to the trash after a confirmation, then searches again (also when
    // moves failed). Nothing happens when nothing is marked; declining the confirmation keeps
    // every mark and searches nothing.
    void OnDeleteMarked();
    // Confirmation, moves and end message for the list; true when the person confirmed, false
    // when they declined or the list is empty (nothing was moved then).
    bool DeleteFiles(const std::vector<CPathString>& list);
    // The search folders (their logic is CFoldersList): AddFolder adds the path when it names a
    // folder; "Add" adds the edit's text as read into m_strFolder; "..." puts the folder picked in
    // the desktop's chooser (started at the edit's path) into the edit; "Delete" removes the
    // selected folder, "Delete All" every folder; the folder "Delete" follows the selection.
    void AddFolder(const std::u16string& path);
    void OnAddFolder();
    void OnBrowseFolder();
    void OnDeleteFolder();
    // Add from the keyboard and the button: the typed path (`~` expanded) is added unless it is
    // no folder or listed already; a refusal says why in pane 0.
    void OnAddTypedFolder();
    void OnDeleteAll();
    void OnFolderSelChanged();
    // Folders dropped on the folders list, with their exact bytes: each one not listed yet is added.
    void OnDropFolders(const std::vector<std::u16string>& names);
    // The chooser "..." opens: given the dialog and the start folder, the picked folder or empty.
    std::function<QString(QWidget*, const QString&)> m_chooseFolder;
    // A command of the window menu: the About item (its id with the low four bits cleared is
    // IDM_ABOUTBOX) shows a new About box modally; every other command gets the window's default
    // handling (restore, minimise, maximise, close).
    void OnSysCommand(int id, intptr_t param);

    // True from OnSearch until the end of the run has been handled.
    bool IsSearching() const { return m_bSearching; }

    CListControlMem& ResultsList() { return m_listResults; }
    CRowMenu& RowMenu() { return m_rowMenu; }
    CResultsView& Results() { return m_results; }
    CListControlMem& FoldersList() { return m_listFolders; }
    CMenuButton& SelectButton() { return m_btnSelect; }
    CMenuButton& FoldersButton() { return m_btnFolders; }
    CACEdit& FolderEdit() { return m_editFolder; }
    const CAnchorLayout& AnchorLayout() const { return m_layout; }

    std::u16string m_strFolder;  // text of the path edit as of the last reading exchange
    uint64_t m_sizeFromKB = 0;   // lower size bound in KB, 0 for none
    uint64_t m_sizeToKB = 0;     // upper size bound in KB, 0 for none
    int32_t m_nSortColumn = 0;
    bool m_bSortAscending = true;
    int32_t m_nLastPercent = -1;
    CStopWatch m_stopWatch;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnSize(SizeType type, int cx, int cy) override;
    // Keeps the path text (as of the last reading exchange) in theSettings, then ends like Cancel.
    void OnClose() override;
    // Keys typed in the path edit stay there. Elsewhere Esc does nothing (menus, the completion
    // list and dialogs close on it themselves) and Enter presses the focused push button or does
    // nothing: the window ends by its close button, Alt+F4, Ctrl+Q or its window menu.
    void keyPressEvent(QKeyEvent* event) override;
    // Every way the dialog ends (OK, Cancel, Esc, the close button) comes here. While a search
    // runs, the run is stopped and the dialog ends only once its end has been handled.
    void done(int result) override;

private:
    void RouteCommands();
    void SetPaneText(int pane, const QString& text);
    void ShowPaneTexts();
    QString ElapsedText() const;
    void EndAfterSearch();
    // Stops a running search and keeps the event loop going until the worker has ended.
    void StopAndWaitForSearch();

    // The window menu (a right click in the free area, the Menu key, Shift+F10) with the About
    // item, and what screen readers need: names, marks as checked cells, menu buttons as such.
    void SetupWindowMenuAndAccessibility();
    void SetupFoldersList();
    void SetupResultsList();
    void CreateStatusBar();
    void SetupLayout();
    void PlaceStatusBar();
    void FitFolderColumn();
    // The two path columns share a change of the list's width, except one the user sized.
    void FitPathColumns();
    // The tab order follows the layout: top to bottom, left to right.
    void OrderTabsByPosition();
    void EnableControl(int id, bool enable);

    QIcon m_hIcon;
    CListControlMem m_listResults;
    CImageList m_imageChecks;
    CListControlMem m_listFolders;
    CACEdit m_editFolder;
    CFoldersList m_folders;
    CMyDropTarget m_dropTarget;
    QStatusBar m_statusBar;
    std::array<CStatusPane*, 6> m_statusPanes{};
    CStaticSeparator m_captionAddFolder;
    CStaticSeparator m_captionFolders;
    CStaticSeparator m_captionSearch;
    CStaticSeparator m_captionSelect;
    CMenuButton m_btnSelect;
    CMenuButton m_btnFolders;
    CAnchorLayout m_layout;
    CResultsView m_results;
    // During a search the panes change with every folder entered; what they say reaches the
    // labels (and so the screen) at most every few tens of milliseconds, since laying out and
    // painting them each time would cost the search more than the walk of a small folder.
    QTimer m_paneRefresh;
    std::array<QString, 5> m_paneTexts;
    bool m_bPanesChanged = false;
    CSelectionCommands m_selection;
    CRowMenu m_rowMenu;
    QTimer m_markedRefresh;          // pane 5 follows the marks once per burst of changes
    bool m_bNoFolders = false;       // the search in progress had no folder to search
    int m_nResultsWidth = -1;        // the results list's width the path columns were fitted to
    bool m_bFittingColumns = false;  // the path columns are being sized by the window
    std::array<bool, 2> m_bUserSizedColumn{};
    CTrashCan m_trash;
    CWindowSink m_sink;
    bool m_bSearching = false;
    bool m_bStopRequested = false;          // "Stop" was pressed during the run
    QPointer<QWidget> m_focusBeforeSearch;  // the focused control when the search started
    std::optional<int> m_pendingEnd;        // the result of an end asked for during a search
    CSearchWorker m_worker;                 // last: a running worker outlives nothing it uses
};
