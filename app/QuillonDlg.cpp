#include "app/QuillonDlg.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <utility>

#include "app/Settings.h"
#include "app/SysImageList.h"
#include "engine/Catalogue.h"
#include "engine/ResultOrder.h"
#include "engine/SearchRun.h"
#include "platform/ByteSize.h"
#include "platform/SizeText.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "results/DeleteMarked.h"
#include "results/MoreFoldersDlg.h"
#include "results/WildCardSelect.h"
#include "widgets/AboutDlg.h"
#include "widgets/AccessibleMenuButton.h"
#include "widgets/ControlId.h"
#include "widgets/DataExchange.h"
#include "widgets/QtText.h"
#include "widgets/ResourceImages.h"
#include "widgets/SizeGrip.h"
#include "widgets/StatusPane.h"
#include "widgets/WindowMenu.h"

namespace {

// The result commands, in the order they are switched.
constexpr int kResultCommands[] = {IDC_BUTTON_SELECT,  IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS,
                                   IDC_BUTTON_FOLDERS, IDC_BUTTON_DELETE,   IDC_LIST_RESULTS};

// Disabled when a search starts, in this order.
constexpr int kSearchLockout[] = {IDC_BUTTON_SELECT, IDC_BUTTON_DESELECT,      IDC_BUTTON_WILDCARDS,  IDC_BUTTON_FOLDERS,
                                  IDC_BUTTON_DELETE, IDC_BUTTON_DELETE_FOLDER, IDC_LIST_FOLDERS,      IDC_EDIT_FOLDER,
                                  IDC_BUTTON_BROWSE, IDC_BUTTON_ADD,           IDC_BUTTON_DELETE_ALL, IDC_BUTTON_SEARCH,
                                  IDC_LIST_RESULTS,  IDC_EDIT_SIZE_FROM,       IDC_EDIT_SIZE_TO};

// Enabled when a search ends, in this order.
constexpr int kInputs[] = {IDC_EDIT_FOLDER,  IDC_BUTTON_BROWSE, IDC_BUTTON_ADD,     IDC_BUTTON_DELETE_ALL, IDC_BUTTON_SEARCH,
                           IDC_LIST_RESULTS, IDC_LIST_FOLDERS,  IDC_EDIT_SIZE_FROM, IDC_EDIT_SIZE_TO};

// During a search the panes change with every folder; they are painted at most this often.
constexpr int kPaneRefreshMs = 40;

constexpr int kStatusTemplates[] = {IDS_STATUS_FILES, IDS_STATUS_DUPS, IDS_STATUS_SIZE, IDS_STATUS_ELAPSED};

const QString kNoFolderText =
    QStringLiteral("No folder to search: type a folder's path above and press Add (or Enter), or drop a folder on the list");

const QString kTitle = QStringLiteral("Quillon");
const QString kPercentTitleEnd = QStringLiteral("% - Quillon");

// What a screen reader says for controls whose caption is a separate static (or that have none).
constexpr std::pair<int, const char*> kAccessibleNames[] = {
    {IDC_EDIT_FOLDER, "Add Folder"},
    {IDC_EDIT_SIZE_FROM, "from"},
    {IDC_EDIT_SIZE_TO, "to"},
    {IDC_LIST_FOLDERS, "Search folders"},
    {IDC_LIST_RESULTS, "Duplicates"},
    {IDC_BUTTON_BROWSE, "Browse for a folder"},
    // Two buttons read "Delete" on screen; a screen reader tells them apart.
    {IDC_BUTTON_DELETE_FOLDER, "Delete Folder"},
    {IDC_BUTTON_DELETE_ALL, "Delete All Folders"},
    {IDC_BUTTON_DELETE, "Delete Marked Files"},
};

// Calls `handler` for the key presses of one control before the control sees them; the handler
// returns true for a key it took.
class KeyHook : public QObject {
public:
    KeyHook(QWidget* control, std::function<bool(QKeyEvent&)> handler) : QObject(control), m_handler(std::move(handler))
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && m_handler(*static_cast<QKeyEvent*>(event));
    }

private:
    std::function<bool(QKeyEvent&)> m_handler;
};

bool IsPlainKey(const QKeyEvent& event, std::initializer_list<int> keys)
{
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    return std::find(keys.begin(), keys.end(), event.key()) != keys.end();
}

QString ResourceText(int id)
{
    return ToQString(LoadStringResource(id));
}

// A size edit's exchange: the text DDX_Text moves is the value as FormatSizeText shows it, read
// back with ScanSizeText. A missing edit leaves the text, and so the value, as it was.
void ExchangeSize(CDataExchange& dx, int id, uint64_t& kilobytes)
{
    std::u16string text = FormatSizeText(kilobytes);
    DDX_Text(dx, id, text);
    if (dx.m_bSaveAndValidate)
        kilobytes = ScanSizeText(text);
}

}  // namespace

CQuillonDlg::CQuillonDlg(QWidget* parent)
    : CResizableDialog(IDD_QUILLON_DIALOG, parent), m_strFolder(theSettings.m_Folder),
      m_folders(m_listFolders, theSettings.m_Folders), m_dropTarget(m_listFolders), m_results(m_listResults, g_duplicates),
      m_selection(m_results), m_rowMenu(m_results, m_listResults),
      m_sink(this, [this](unsigned message) { SendDialogMessage(message); })
{
    m_chooseFolder = [](QWidget* parent, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, QStringLiteral("Add Folder"), start);
    };
    RouteCommands();
    // Ctrl+Q ends the window as its close button does.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, [this] { close(); });
    m_runMoreFolders = [](CMoreFoldersDlg& dialog) { return dialog.exec() == QDialog::Accepted ? dialog.Picked() : -1; };
    m_markedRefresh.setSingleShot(true);
    m_markedRefresh.setInterval(0);
    connect(&m_markedRefresh, &QTimer::timeout, this, [this] { ShowMarkedTotal(); });
    m_results.SetMarksChanged([this] { m_markedRefresh.start(); });
    m_paneRefresh.setInterval(kPaneRefreshMs);
    connect(&m_paneRefresh, &QTimer::timeout, this, [this] { ShowPaneTexts(); });
}

CQuillonDlg::~CQuillonDlg()
{
    // The dialog ends only after its search (done), but a dialog destroyed without ending must
    // not leave a worker sending to it.
    StopAndWaitForSearch();
}

void CQuillonDlg::RouteCommands()
{
    RouteNotify(IDC_BUTTON_SEARCH, BN_CLICKED, [this](const CNotify&) { OnSearch(); });
    RouteNotify(IDC_BUTTON_STOP, BN_CLICKED, [this](const CNotify&) { OnStop(); });
    RouteNotify(IDC_LIST_RESULTS, LVN_COLUMNCLICK, [this](const CNotify& notify) { OnHeaderClick(notify); });
    RouteNotify(IDC_LIST_RESULTS, NM_CLICK, [this](const CNotify& notify) { OnResultsClick(notify); });
    RouteNotify(IDC_LIST_RESULTS, NM_DBLCLK, [this](const CNotify& notify) { OnOpenResult(notify); });
    RouteNotify(IDC_LIST_RESULTS, NM_RETURN, [this](const CNotify& notify) { OnOpenResult(notify); });
    RouteNotify(IDC_LIST_RESULTS, NM_RCLICK, [this](const CNotify& notify) { OnResultsMenu(notify); });
    RouteNotify(IDC_BUTTON_SELECT, MBN_PICKED, [this](const CNotify&) { OnSelectMenu(); });
    RouteNotify(IDC_BUTTON_FOLDERS, MBN_PICKED, [this](const CNotify&) { OnFoldersMenu(); });
    RouteNotify(IDC_BUTTON_WILDCARDS, BN_CLICKED, [this](const CNotify&) { OnWildcards(); });
    RouteNotify(IDC_BUTTON_DESELECT, BN_CLICKED, [this](const CNotify&) { OnDeselect(); });
    RouteNotify(IDC_BUTTON_DELETE, BN_CLICKED, [this](const CNotify&) { OnDeleteMarked(); });
    RouteNotify(IDC_BUTTON_ADD, BN_CLICKED, [this](const CNotify&) { OnAddTypedFolder(); });
    RouteNotify(IDC_BUTTON_BROWSE, BN_CLICKED, [this](const CNotify&) { OnBrowseFolder(); });
    RouteNotify(IDC_BUTTON_DELETE_FOLDER, BN_CLICKED, [this](const CNotify&) { OnDeleteFolder(); });
    RouteNotify(IDC_BUTTON_DELETE_ALL, BN_CLICKED, [this](const CNotify&) { OnDeleteAll(); });
    RouteNotify(IDC_LIST_FOLDERS, LVN_ITEMCHANGED, [this](const CNotify&) { OnFolderSelChanged(); });
    RouteMessage(WMU_SCANPROGRESS, [this] { OnScanProgress(); });
    RouteMessage(WMU_COMPAREPROGRESS, [this] { OnCompareProgress(); });
    RouteMessage(WMU_SEARCHDONE, [this] { OnSearchDone(); });
}

CStatusPane* CQuillonDlg::StatusPane(int index) const
{
    return (index >= 0 && index < static_cast<int>(m_statusPanes.size())) ? m_statusPanes[static_cast<size_t>(index)] : nullptr;
}

void CQuillonDlg::DoDataExchange(CDataExchange& dx)
{
    CResizableDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_LIST_RESULTS, m_listResults);
    DDX_Control(dx, IDC_LIST_FOLDERS, m_listFolders);
    DDX_Control(dx, IDC_EDIT_FOLDER, m_editFolder);
    DDX_Control(dx, IDC_CAPTION_ADD_FOLDER, m_captionAddFolder);
    DDX_Control(dx, IDC_CAPTION_FOLDERS, m_captionFolders);
    DDX_Control(dx, IDC_CAPTION_SEARCH, m_captionSearch);
    DDX_Control(dx, IDC_CAPTION_SELECT, m_captionSelect);
    DDX_Control(dx, IDC_BUTTON_SELECT, m_btnSelect);
    DDX_Control(dx, IDC_BUTTON_FOLDERS, m_btnFolders);
    DDX_Text(dx, IDC_EDIT_FOLDER, m_strFolder);
    ExchangeSize(dx, IDC_EDIT_SIZE_FROM, m_sizeFromKB);
    ExchangeSize(dx, IDC_EDIT_SIZE_TO, m_sizeToKB);
}

bool CQuillonDlg::OnInitDialog()
{
    CResizableDialog::OnInitDialog();
    SetupWindowMenuAndAccessibility();
    m_hIcon = LoadIconResource(IDI_QUILLON);
    setWindowIcon(m_hIcon);
    SetupFoldersList();
    SetupResultsList();
    m_btnSelect.LoadMenuResource(IDR_MENU_SELECT);
    m_selection.WatchKeys(m_listResults);
    CreateStatusBar();
    // A damaged settings file is mentioned once, in the first pane.
    m_statusPanes[0]->SetText(QString::fromStdU16String(theSettings.StoreNotice()));
    SetupLayout();
    EnableResultCommands();
    EnablePlacementMemory(u"Quillon", false);
    m_editFolder.AttachToControl();
    m_editFolder.SetCompletionMode(ACEDIT_FILESYSTEM | ACEDIT_ONLY_FOLDERS, u"/");
    m_dropTarget.Register(this, [this](const std::vector<std::u16string>& names) { OnDropFolders(names); });
    m_dropTarget.RegisterEdit(&m_editFolder,
                              [this](const std::u16string& path) { m_editFolder.setText(QString::fromStdU16String(path)); });
    // Enter in the path edit adds its folder (with the completion list shown it takes the
    // completion); Delete in the folders list removes the selected folder.
    new KeyHook(&m_editFolder, [this](QKeyEvent& key) {
        if (!IsPlainKey(key, {Qt::Key_Return, Qt::Key_Enter}) || m_editFolder.IsListVisible())
            return false;
        OnAddTypedFolder();
        return true;
    });
    new KeyHook(&m_listFolders, [this](QKeyEvent& key) {
        if (!IsPlainKey(key, {Qt::Key_Delete}))
            return false;
        OnDeleteFolder();
        OnFolderSelChanged();
        return true;
    });
    OrderTabsByPosition();
    return true;
}

void CQuillonDlg::SetupWindowMenuAndAccessibility()
{
    std::vector<std::pair<QString, int>> windowMenuItems;
    if (const QString about = ResourceText(IDS_ABOUTBOX); !about.isEmpty())
        windowMenuItems.emplace_back(about, IDM_ABOUTBOX);
    new CWindowMenu(*this, std::move(windowMenuItems), [this](int id) { OnSysCommand(id, 0); });
    for (const auto& [id, name] : kAccessibleNames) {
        if (QWidget* control = GetDlgItem(id))
            control->setAccessibleName(QString::fromLatin1(name));
    }
    if (auto* model = qobject_cast<CListControlModel*>(m_listResults.model()))
        model->SetMarkImages(true);  // each mark is its cell's checked state for screen readers
    for (int id : {IDC_BUTTON_SELECT, IDC_BUTTON_FOLDERS}) {
        if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id)))
            MarkAsMenuButton(*button);
    }
}

void CQuillonDlg::SetupFoldersList()
{
    m_listFolders.SetImageList(&theSysImageList.ImageList());
    m_listFolders.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    m_listFolders.InsertColumn(0, QStringLiteral("Folder"), LVCFMT_LEFT, m_listFolders.GetClientRect().width());
    for (size_t i = 0; i < theSettings.m_Folders.size(); ++i) {
        QString path = QString::fromStdU16String(theSettings.m_Folders[i].m_Folder);
        m_listFolders.InsertItem(static_cast<int>(i), path, theSysImageList.GetIconIndex(path));
    }
}

void CQuillonDlg::SetupResultsList()
{
    const int width = m_listResults.GetClientRect().width();
    m_imageChecks.Create(LoadBitmapResource(IDB_CHECKS), 17, 5, Qt::white);
    m_listResults.SetImageList(&m_imageChecks);
    m_listResults.InsertColumn(0, QStringLiteral("Original"), LVCFMT_LEFT, (width - 120) / 2);
    m_listResults.InsertColumn(1, QStringLiteral("Duplicate"), LVCFMT_LEFT, (width - 120) / 2);
    m_listResults.InsertColumn(2, QStringLiteral("Size"), LVCFMT_LEFT, 120);
    m_listResults.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT);
    // A long path keeps its file name in sight; the tooltip shows it whole.
    m_listResults.setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = m_listResults.horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_nResultsWidth = width;
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int) {
        if (!m_bFittingColumns && column >= 0 && column < 2)
            m_bUserSizedColumn[static_cast<size_t>(column)] = true;
    });
}

void CQuillonDlg::FitPathColumns()
{
    if (!IsBound(m_listResults) || m_listResults.GetColumnCount() < 2 || m_nResultsWidth < 0)
        return;
    const int width = m_listResults.GetClientRect().width();
    const int change = width - m_nResultsWidth;
    m_nResultsWidth = width;
    std::vector<int> shared;
    for (int column : {0, 1}) {
        if (!m_bUserSizedColumn[static_cast<size_t>(column)])
            shared.push_back(column);
    }
    if (change == 0 || shared.empty())
        return;
    m_bFittingColumns = true;
    const int count = static_cast<int>(shared.size());
    for (int i = 0; i < count; ++i) {
        // The first column takes the odd pixel.
        const int part = change / count + (i == 0 ? change % count : 0);
        const int column = shared[static_cast<size_t>(i)];
        m_listResults.SetColumnWidth(column, std::max(20, m_listResults.GetColumnWidth(column) + part));
    }
    m_bFittingColumns = false;
}

void CQuillonDlg::OrderTabsByPosition()
{
    std::vector<QWidget*> controls;
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (GetDlgCtrlID(child) > 0 && (child->focusPolicy() & Qt::TabFocus))
            controls.push_back(child);
    }
    // Rows of controls whose tops lie within half a text line of the row's first, each row left
    // to right.
    std::stable_sort(controls.begin(), controls.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    const int tolerance = fontMetrics().height() / 2;
    for (size_t start = 0; start < controls.size();) {
        size_t end = start + 1;
        while (end < controls.size() && controls[end]->y() - controls[start]->y() <= tolerance)
            ++end;
        std::stable_sort(controls.begin() + static_cast<std::ptrdiff_t>(start),
                         controls.begin() + static_cast<std::ptrdiff_t>(end),
                         [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        start = end;
    }
    for (size_t i = 1; i < controls.size(); ++i)
        setTabOrder(controls[i - 1], controls[i]);
}

void CQuillonDlg::CreateStatusBar()
{
    m_statusBar.setParent(this);
    m_statusBar.setSizeGripEnabled(true);
    for (size_t pane = 0; pane < m_statusPanes.size(); ++pane) {
        // Pane 0 takes the room the others leave; the others are measured from their templates
        // and widen for a longer text.
        const QString templateText = (pane == 0 || pane == 5) ? QString() : ResourceText(kStatusTemplates[pane - 1]);
        auto* label = new CStatusPane(templateText, &m_statusBar);
        m_statusPanes[pane] = label;
        if (pane == 0 || pane == 5) {
            // Pane 5 is as wide as the marked total it shows, nothing while nothing is marked.
            label->setMinimumWidth(0);
        }
        if (pane == 0) {
            m_statusBar.addWidget(label, 1);
        } else {
            m_statusBar.addPermanentWidget(label, 0);
        }
    }
    PlaceStatusBar();
    m_statusBar.show();
    for (CStatusPane* label : m_statusPanes)
        label->SetText(QString());
}

void CQuillonDlg::SetupLayout()
{
    m_layout.Capture(this);
    for (int id : {IDC_LIST_FOLDERS, IDC_EDIT_FOLDER, IDC_CAPTION_ADD_FOLDER, IDC_CAPTION_FOLDERS, IDC_CAPTION_SEARCH})
        m_layout.SetAnchor(id, ANCHOR_TOP | ANCHOR_LEFT | ANCHOR_RIGHT);
    for (int id : {IDC_BUTTON_ADD, IDC_BUTTON_BROWSE, IDC_BUTTON_DELETE_FOLDER, IDC_BUTTON_DELETE_ALL})
        m_layout.SetAnchor(id, ANCHOR_TOP | ANCHOR_RIGHT);
    m_layout.SetAnchor(IDC_LIST_RESULTS, ANCHOR_TOP | ANCHOR_BOTTOM | ANCHOR_LEFT | ANCHOR_RIGHT);
    for (int id : {IDC_BUTTON_SELECT, IDC_BUTTON_FOLDERS, IDC_BUTTON_DELETE, IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS})
        m_layout.SetAnchor(id, ANCHOR_BOTTOM | ANCHOR_LEFT);
    m_layout.SetAnchor(IDC_CAPTION_SELECT, ANCHOR_BOTTOM | ANCHOR_LEFT | ANCHOR_RIGHT);
}

void CQuillonDlg::EnableResultCommands()
{
    const bool haveRows = !g_duplicates.empty();
    for (int id : kResultCommands)
        EnableControl(id, haveRows);
    EnableControl(IDC_BUTTON_STOP, false);
    EnableControl(IDC_BUTTON_DELETE_FOLDER, m_listFolders.GetNextItem(-1, LVNI_SELECTED) != -1);
}

void CQuillonDlg::EnableControl(int id, bool enable)
{
    if (QWidget* control = GetDlgItem(id))
        control->setEnabled(enable);
}

void CQuillonDlg::OnSize(SizeType type, int cx, int cy)
{
    CResizableDialog::OnSize(type, cx, cy);
    m_layout.Arrange();
    PlaceStatusBar();
    FitFolderColumn();
    FitPathColumns();
}

void CQuillonDlg::PlaceStatusBar()
{
    if (m_statusBar.parentWidget() != this)
        return;
    const int height = m_statusBar.sizeHint().height();
    m_statusBar.setGeometry(0, this->height() - height, width(), height);
    if (SizeGrip())
        SizeGrip()->raise();
}

void CQuillonDlg::FitFolderColumn()
{
    if (!IsBound(m_listFolders) || m_listFolders.GetColumnCount() == 0)
        return;
    m_listFolders.SetColumnWidth(0, std::max(0, m_listFolders.GetClientRect().width() - 1));
}

void CQuillonDlg::AddFolder(const std::u16string& path)
{
    m_folders.AddFolder(path);
}

void CQuillonDlg::OnAddFolder()
{
    UpdateData(true);
    AddFolder(m_strFolder);
}

void CQuillonDlg::OnAddTypedFolder()
{
    UpdateData(true);
    std::u16string folder;
    const QString path = QString::fromStdU16String(m_strFolder);
    switch (m_folders.AddTyped(m_strFolder, folder)) {
    case CFoldersList::AddResult::Added:
        SetPaneText(0, QString());
        break;
    case CFoldersList::AddResult::Empty:
        SetPaneText(0, QStringLiteral("Type the path of a folder to add, or pick one with \"...\""));
        break;
    case CFoldersList::AddResult::NoSuchFolder:
        SetPaneText(0, QStringLiteral("No such folder: ") + path);
        break;
    case CFoldersList::AddResult::AlreadyListed:
        SetPaneText(0, QStringLiteral("Already in the list: ") + QString::fromStdU16String(folder));
        break;
    }
}

void CQuillonDlg::OnBrowseFolder()
{
    const QString chosen = m_chooseFolder ? m_chooseFolder(this, m_editFolder.text()) : QString();
    if (!chosen.isEmpty())
        m_editFolder.setText(chosen);
}

void CQuillonDlg::OnDeleteFolder()
{
    m_folders.DeleteSelected();
}

void CQuillonDlg::OnDeleteAll()
{
    m_folders.DeleteAll();
    EnableControl(IDC_BUTTON_DELETE_FOLDER, false);
}

void CQuillonDlg::OnFolderSelChanged()
{
    EnableControl(IDC_BUTTON_DELETE_FOLDER, m_folders.HasSelection());
}

void CQuillonDlg::OnDropFolders(const std::vector<std::u16string>& names)
{
    if (!m_bSearching)
        m_folders.AddDropped(names);
}

void CQuillonDlg::OnSearch()
{
    if (m_bSearching)
        return;
    // The previous worker has handled its last message; it may still be on its way out.
    m_worker.WaitUntilEnded();

    UpdateData(true);
    BeginSearchRun(m_sizeFromKB, m_sizeToKB);
    // Disabling the focused control moves the focus on; a keyboard user gets it back at the end.
    m_focusBeforeSearch = focusWidget();
    EnableControl(IDC_BUTTON_STOP, true);
    for (int id : kSearchLockout)
        EnableControl(id, false);
    theSettings.m_Folder = m_strFolder;
    for (int pane = 0; pane < 5; ++pane)
        SetPaneText(pane, QString());
    m_listResults.DeleteAllItems();
    m_results.ClearMarks();  // nothing is marked while nothing is listed
    if (m_nLastPercent != -1)
        ShowPercentInTitle(-1);
    m_bStopRequested = false;
    m_stopWatch.Start();
    m_paneRefresh.start();

    std::vector<std::u16string> folders;
    folders.reserve(theSettings.m_Folders.size());
    for (const CStrOptions& entry : theSettings.m_Folders)
        folders.push_back(entry.m_Folder);
    m_bNoFolders = folders.empty();
    m_bSearching = true;
    m_worker.Start(&m_sink, std::move(folders));
}

void CQuillonDlg::OnStop()
{
    EnableControl(IDC_BUTTON_STOP, false);
    m_bStopRequested = true;
    RequestStop();
}

void CQuillonDlg::OnScanProgress()
{
    m_stopWatch.Tick();
    SetPaneText(0, QString::fromStdU16String(g_currentPath));
    SetPaneText(1, QStringLiteral("Files: %1").arg(static_cast<int>(g_fileCount)));
    SetPaneText(4, ElapsedText());
}

void CQuillonDlg::OnCompareProgress()
{
    m_stopWatch.Tick();
    SetPaneText(0, QString::fromStdU16String(g_currentPath));
    SetPaneText(1, QStringLiteral("%1 / %2").arg(static_cast<int>(g_progressCount)).arg(static_cast<int>(g_fileCount)));
    if (g_fileCount != 0)
        ShowPercentInTitle(static_cast<int>(static_cast<uint32_t>(g_progressCount * 100u) / g_fileCount));
    SetPaneText(4, ElapsedText());
}

void CQuillonDlg::OnSearchDone()
{
    SortDuplicatesBySize();
    m_paneRefresh.stop();
    ShowPaneTexts();
    m_stopWatch.Tick();
    SetPaneText(1, QStringLiteral("Files: %1").arg(static_cast<int>(g_fileCount)));
    SetPaneText(2, QStringLiteral("Dups: %1").arg(static_cast<int>(g_duplicates.size())));
    SetPaneText(3, QString::fromStdU16String(FormatByteSize(g_duplicateBytes)));
    SetPaneText(4, ElapsedText());
    UpdateData(false);
    FillResults();
    BuildFoldersMenu();
    // A stopped run shows what it found so far, and says that it is not the whole answer.
    // A search of nothing says so, and how to give it a folder.
    SetPaneText(0, m_bStopRequested ? QStringLiteral("Stopped") : m_bNoFolders ? kNoFolderText : QStringLiteral("Done"));
    RestoreTitle();
    EnableResultCommands();
    for (int id : kInputs)
        EnableControl(id, true);
    EnableControl(IDC_BUTTON_DELETE_FOLDER, m_listFolders.GetNextItem(-1, LVNI_SELECTED) != -1);
    m_bSearching = false;
    if (m_focusBeforeSearch && m_focusBeforeSearch->isEnabled() && isActiveWindow())
        m_focusBeforeSearch->setFocus(Qt::OtherFocusReason);
    m_focusBeforeSearch = nullptr;
    // What the run before this one left in the heap goes back to the system: ten searches in a
    // row hold what one does.
    malloc_trim(0);
    if (m_pendingEnd)
        QTimer::singleShot(0, this, [this] { EndAfterSearch(); });
}

void CQuillonDlg::RestoreTitle()
{
    if (m_nLastPercent != -1 || windowTitle().endsWith(kPercentTitleEnd)) {
        m_nLastPercent = -1;
        setWindowTitle(kTitle);
    }
}

void CQuillonDlg::ShowPercentInTitle(int percent)
{
    if (percent == m_nLastPercent)
        return;
    m_nLastPercent = percent;
    setWindowTitle(percent == -1 ? kTitle : QString::number(percent) + kPercentTitleEnd);
}

void CQuillonDlg::OnHeaderClick(const CNotify& notify)
{
    const int column = notify.column;
    if (column == m_nSortColumn)
        m_bSortAscending = !m_bSortAscending;
    m_nSortColumn = column;
    std::vector<CPathString> marked;
    MarkedPathSet markedSet;
    CollectMarkedFiles(marked, markedSet);
    SortDuplicates(column, m_bSortAscending);
    FillResults();
    m_results.RestoreMarks(markedSet);
    m_listResults.horizontalHeader()->setSortIndicator(column, m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CQuillonDlg::FillResults()
{
    m_results.Fill();
}

void CQuillonDlg::CollectMarkedFiles(std::vector<CPathString>& list, MarkedPathSet& set) const
{
    m_results.CollectMarkedFiles(list, set);
}

void CQuillonDlg::OnResultsClick(const CNotify& notify)
{
    m_selection.ClickMark(notify.row, notify.column, m_listResults.SubItemHitTest(notify.point).flags);
}

void CQuillonDlg::OnSelectMenu()
{
    m_selection.SelectByTime(m_btnSelect.m_nPicked);
}

void CQuillonDlg::OnOpenResult(const CNotify& notify)
{
    m_rowMenu.OpenCell(notify.row, notify.column);
}

void CQuillonDlg::OnResultsMenu(const CNotify& notify)
{
    m_rowMenu.Popup(notify.point, notify.row, notify.column);
}

void CQuillonDlg::ShowMarkedTotal()
{
    m_markedRefresh.stop();
    const CResultsView::MarkedTotal& total = m_results.Marked();
    m_statusPanes[5]->SetText(total.files == 0 ? QString()
                                               : QStringLiteral("Marked: %1 %2, %3")
                                                     .arg(total.files)
                                                     .arg(total.files == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                                                     .arg(QString::fromStdU16String(FormatByteSize(total.bytes))));
}

void CQuillonDlg::OnFoldersMenu()
{
    const uint32_t picked = m_btnFolders.m_nPicked;
    if (picked == kMoreFoldersCommand) {
        const auto entries = CSelectionCommands::FolderMenuEntries(CSelectionCommands::FilesPerFolder(g_duplicates));
        std::vector<QString> texts;
        texts.reserve(entries.size());
        for (const CSelectionCommands::FolderEntry& entry : entries)
            texts.push_back(QString::fromStdU16String(CSelectionCommands::FolderMenuText(entry)));
        CMoreFoldersDlg dialog(texts, this);
        const int index = m_runMoreFolders ? m_runMoreFolders(dialog) : -1;
        if (index >= 0 && index < static_cast<int>(entries.size()))
            m_selection.SelectFolder(entries[static_cast<size_t>(index)].folder);
        return;
    }
    QMenu* popup = m_btnFolders.GetPopup();
    if (picked == 0 || !popup || picked > static_cast<uint32_t>(popup->actions().size()))
        return;
    // The menu shows '&' doubled; the folder is the text as it was made.
    const QString text =
        popup->actions().at(static_cast<qsizetype>(picked - 1))->text().replace(QStringLiteral("&&"), QStringLiteral("&"));
    const std::u16string entry = text.toStdU16String();
    m_selection.SelectFolder(CSelectionCommands::FolderOfMenuText(entry));
}

void CQuillonDlg::OnWildcards()
{
    CWildCardSelect dialog(this);
    if (dialog.DoModal() == IDOK)
        m_selection.SelectPattern(dialog.m_strPattern);
}

void CQuillonDlg::OnDeselect()
{
    m_selection.DeselectAll();
}

void CQuillonDlg::BuildFoldersMenu()
{
    // A search without rows has no folders: the button (disabled then) keeps its menu.
    if (g_duplicates.empty())
        return;
    // Made when first opened: the rows do not change until the next search, during which the
    // button is disabled, and thousands of folders would otherwise cost the end of every search.
    m_btnFolders.SetMenu([]() -> std::unique_ptr<QMenu> {
        // Distinct files per folder: an original shown in several rows counts once.
        const auto entries = CSelectionCommands::FolderMenuEntries(CSelectionCommands::FilesPerFolder(g_duplicates));
        if (entries.empty())
            return nullptr;
        auto bar = std::make_unique<QMenu>();
        QMenu* popup = bar->addMenu(QStringLiteral("xxx"));
        uint command = 0;
        for (const CSelectionCommands::FolderEntry& entry : entries) {
            if (command == kFoldersInMenu) {
                // A menu of thousands of folders would run off the screen: the rest are in a dialog.
                popup->addSeparator();
                popup->addAction(QStringLiteral("More Folders..."))->setData(kMoreFoldersCommand);
                break;
            }
            const QString text = QString::fromStdU16String(CSelectionCommands::FolderMenuText(entry));
            popup->addAction(QString(text).replace(QStringLiteral("&"), QStringLiteral("&&")))->setData(++command);
        }
        return bar;
    });
}

void CQuillonDlg::OnDeleteMarked()
{
    std::vector<CPathString> list;
    MarkedPathSet set;
    CollectMarkedFiles(list, set);
    // Declined: the marks stay as they are and nothing is searched again.
    if (!DeleteFiles(list))
        return;
    OnSearch();
}

bool CQuillonDlg::DeleteFiles(const std::vector<CPathString>& list)
{
    if (list.empty())
        return false;
    return CDeleteMarked(m_results, list, g_fileList).Run(this, m_trash);
}

void CQuillonDlg::SetPaneText(int pane, const QString& text)
{
    if (pane < 0 || pane >= static_cast<int>(m_paneTexts.size()))
        return;
    m_paneTexts[static_cast<size_t>(pane)] = text;
    if (m_paneRefresh.isActive())
        m_bPanesChanged = true;
    else
        m_statusPanes[static_cast<size_t>(pane)]->SetText(text);
}

void CQuillonDlg::ShowPaneTexts()
{
    if (!m_bPanesChanged)
        return;
    m_bPanesChanged = false;
    for (size_t pane = 0; pane < m_paneTexts.size(); ++pane)
        m_statusPanes[pane]->SetText(m_paneTexts[pane]);
}

QString CQuillonDlg::ElapsedText() const
{
    return QStringLiteral("Elapsed Time: ") + QString::fromStdU16String(m_stopWatch.Format());
}

void CQuillonDlg::done(int result)
{
    if (m_bSearching) {
        // Ends once the run's end has been handled; the event loop keeps running meanwhile.
        m_pendingEnd = result;
        OnStop();
        return;
    }
    CResizableDialog::done(result);
}

void CQuillonDlg::EndAfterSearch()
{
    if (!m_pendingEnd || m_bSearching)
        return;
    const int result = *m_pendingEnd;
    m_pendingEnd.reset();
    m_worker.WaitUntilEnded();
    done(result);
}

void CQuillonDlg::StopAndWaitForSearch()
{
    if (m_bSearching) {
        RequestStop();
        while (m_bSearching)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    m_worker.WaitUntilEnded();
}

void CQuillonDlg::OnSysCommand(int id, intptr_t)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
        return;
    }
    CWindowMenu::ExecuteWindowCommand(*this, id);
}

void CQuillonDlg::OnClose()
{
    theSettings.m_Folder = m_strFolder;
    CResizableDialog::OnClose();
}

void CQuillonDlg::keyPressEvent(QKeyEvent* event)
{
    if (focusWidget() && focusWidget() == GetDlgItem(IDC_EDIT_FOLDER)) {
        event->accept();
        return;
    }
    // The results are no document to be dismissed: Esc (what closes a menu or a list) and Enter
    // never end the window. Enter presses the focused button and does nothing elsewhere.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        return;
    }
    CResizableDialog::keyPressEvent(event);
}
