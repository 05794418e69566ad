#pragma once
// The main window: the folder input (path edit, folders list and its buttons), the search row
// with the size range in kilobytes, the results list, the selection and deletion commands and a
// five-pane status bar, laid out by template 102 and kept in place by the anchor layout when the
// window is resized. It decides which controls are enabled, exchanges the path and the size
// range with its members, and remembers its placement under "Quillon". Window thread only.
#include <QStatusBar>

#include <array>
#include <cstdint>
#include <string>

#include "results/ListControlMem.h"
#include "widgets/AnchorLayout.h"
#include "widgets/ImageList.h"
#include "widgets/ResizableDialog.h"
#include "widgets/StaticSeparator.h"

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

    // The status bar and its five panes (0 stretches; 1 to 4 are as wide as their templates).
    QStatusBar& StatusBar() { return m_statusBar; }
    QLabel* StatusPane(int index) const;

    CListControlMem& ResultsList() { return m_listResults; }
    CListControlMem& FoldersList() { return m_listFolders; }
    const CAnchorLayout& AnchorLayout() const { return m_layout; }

    std::u16string m_strFolder;        // text of the path edit as of the last reading exchange
    uint64_t m_sizeFromKB = 0;         // lower size bound in KB, 0 for none
    uint64_t m_sizeToKB = 0;           // upper size bound in KB, 0 for none
    int32_t m_nSortColumn = 0;
    bool m_bSortAscending = true;
    int32_t m_nLastPercent = -1;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnSize(SizeType type, int cx, int cy) override;
    // Keeps the path text (as of the last reading exchange) in theSettings, then ends like Cancel.
    void OnClose() override;
    // Keys typed in the path edit stay there: Enter and Esc end the dialog only elsewhere.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetupFoldersList();
    void SetupResultsList();
    void CreateStatusBar();
    void SetupLayout();
    void PlaceStatusBar();
    void FitFolderColumn();
    void EnableControl(int id, bool enable);

    QIcon m_hIcon;
    CListControlMem m_listResults;
    CImageList m_imageChecks;
    CListControlMem m_listFolders;
    QStatusBar m_statusBar;
    std::array<QLabel*, 5> m_statusPanes{};
    CStaticSeparator m_captionAddFolder;
    CStaticSeparator m_captionFolders;
    CStaticSeparator m_captionSearch;
    CStaticSeparator m_captionSelect;
    CAnchorLayout m_layout;
};
