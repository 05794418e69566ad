#include "app/QuillonDlg.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

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
#include "results/WildCardSelect.h"
#include "widgets/AboutDlg.h"
#include "widgets/AccessibleMenuButton.h"
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

const QString kTitle = QStringLiteral("Quillon");
const QString kPercentTitleEnd = QStringLiteral("% - Quillon");

// What a screen reader says for controls whose caption is a separate static (or that have none).
constexpr std::pair<int, const char*> kAccessibleNames[] = {
    {IDC_EDIT_FOLDER, "Add Folder"}, {IDC_EDIT_SIZE_FROM, "from"},     {IDC_EDIT_SIZE_TO, "to"},
    {IDC_LIST_FOLDERS, "Folders"},   {IDC_LIST_RESULTS, "Duplicates"}, {IDC_BUTTON_BROWSE, "Browse for a folder"},
};

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
      m_selection(m_results), m_sink(this, [this](unsigned message) { SendDialogMessage(message); })
{
    m_chooseFolder = [](QWidget* parent, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, QStringLiteral("Add Folder"), start);
    };
    RouteCommands();
    // Ctrl+Q ends the window as its close button does.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, [this] { close(); });
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
    RouteNotify(IDC_BUTTON_SELECT, MBN_PICKED, [this](const CNotify&) { OnSelectMenu(); });
    RouteNotify(IDC_BUTTON_FOLDERS, MBN_PICKED, [this](const CNotify&) { OnFoldersMenu(); });
    RouteNotify(IDC_BUTTON_WILDCARDS, BN_CLICKED, [this](const CNotify&) { OnWildcards(); });
    RouteNotify(IDC_BUTTON_DESELECT, BN_CLICKED, [this](const CNotify&) { OnDeselect(); });
    RouteNotify(IDC_BUTTON_DELETE, BN_CLICKED, [this](const CNotify&) { OnDeleteMarked(); });
    RouteNotify(IDC_BUTTON_ADD, BN_CLICKED, [this](const CNotify&) { OnAddFolder(); });
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
    return (index >= 0 && index < 5) ? m_statusPanes[static_cast<size_t>(index)] : nullptr;
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
}

void CQuillonDlg::CreateStatusBar()
{
    m_statusBar.setParent(this);
    m_statusBar.setSizeGripEnabled(true);
    for (size_t pane = 0; pane < m_statusPanes.size(); ++pane) {
        // Pane 0 takes the room the others leave; the others are measured from their templates
        // and widen for a longer text.
        auto* label = new CStatusPane(pane == 0 ? QString() : ResourceText(kStatusTemplates[pane - 1]), &m_statusBar);
        m_statusPanes[pane] = label;
        if (pane == 0) {
            label->setMinimumWidth(0);
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
    if (m_nLastPercent != -1)
        ShowPercentInTitle(-1);
    m_bStopRequested = false;
    m_stopWatch.Start();
    m_paneRefresh.start();

    std::vector<std::u16string> folders;
    folders.reserve(theSettings.m_Folders.size());
    for (const CStrOptions& entry : theSettings.m_Folders)
        folders.push_back(entry.m_Folder);
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
    SetPaneText(0, m_bStopRequested ? QStringLiteral("Stopped") : QStringLiteral("Done"));
    RestoreTitle();
    EnableResultCommands();
    for (int id : kInputs)
        EnableControl(id, true);
    EnableControl(IDC_BUTTON_DELETE_FOLDER, m_listFolders.GetNextItem(-1, LVNI_SELECTED) != -1);
    m_bSearching = false;
    if (m_focusBeforeSearch && m_focusBeforeSearch->isEnabled() && isActiveWindow())
        m_focusBeforeSearch->setFocus(Qt::OtherFocusReason);
    m_focusBeforeSearch = nullptr;
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

void CQuillonDlg::OnFoldersMenu()
{
    const uint32_t picked = m_btnFolders.m_nPicked;
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
