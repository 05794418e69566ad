#include "app/QuillonDlg.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Settings.h"
#include "platform/SizeText.h"
#include "app/SysImageList.h"
#include "engine/Catalogue.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "widgets/DataExchange.h"
#include "widgets/ResourceImages.h"
#include "widgets/SizeGrip.h"

namespace {

// The result commands, in the order they are switched.
constexpr int kResultCommands[] = {IDC_BUTTON_SELECT, IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS,
                                   IDC_BUTTON_FOLDERS, IDC_BUTTON_DELETE, IDC_LIST_RESULTS};

constexpr int kStatusTemplates[] = {IDS_STATUS_FILES, IDS_STATUS_DUPS, IDS_STATUS_SIZE, IDS_STATUS_ELAPSED};

QString ResourceText(int id)
{
    std::u16string_view text = LoadStringResource(id);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void ExchangeSize(CDataExchange& dx, int id, uint64_t& kilobytes)
{
    QWidget* edit = dx.m_pDlgWnd->GetDlgItem(id);
    if (!edit)
        return;
    if (dx.m_bSaveAndValidate)
        kilobytes = ScanSizeText(edit->property("text").toString().toStdU16String());
    else
        edit->setProperty("text", QString::fromStdU16String(FormatSizeText(kilobytes)));
}

} // namespace

CQuillonDlg::CQuillonDlg(QWidget* parent)
    : CResizableDialog(IDD_QUILLON_DIALOG, parent), m_strFolder(theSettings.m_Folder)
{
}

CQuillonDlg::~CQuillonDlg() = default;

QLabel* CQuillonDlg::StatusPane(int index) const
{
    return (index >= 0 && index < 5) ? m_statusPanes[static_cast<size_t>(index)] : nullptr;
}

void CQuillonDlg::DoDataExchange(CDataExchange& dx)
{
    CResizableDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_LIST_RESULTS, m_listResults);
    DDX_Control(dx, IDC_LIST_FOLDERS, m_listFolders);
    DDX_Control(dx, IDC_CAPTION_ADD_FOLDER, m_captionAddFolder);
    DDX_Control(dx, IDC_CAPTION_FOLDERS, m_captionFolders);
    DDX_Control(dx, IDC_CAPTION_SEARCH, m_captionSearch);
    DDX_Control(dx, IDC_CAPTION_SELECT, m_captionSelect);
    DDX_Text(dx, IDC_EDIT_FOLDER, m_strFolder);
    ExchangeSize(dx, IDC_EDIT_SIZE_FROM, m_sizeFromKB);
    ExchangeSize(dx, IDC_EDIT_SIZE_TO, m_sizeToKB);
}

bool CQuillonDlg::OnInitDialog()
{
    CResizableDialog::OnInitDialog();
    m_hIcon = LoadIconResource(IDI_QUILLON);
    setWindowIcon(m_hIcon);
    SetupFoldersList();
    SetupResultsList();
    CreateStatusBar();
    // A damaged settings file is mentioned once, in the first pane.
    m_statusPanes[0]->setText(QString::fromStdU16String(theSettings.StoreNotice()));
    SetupLayout();
    EnableResultCommands();
    EnablePlacementMemory(u"Quillon", false);
    return true;
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
    const QFontMetrics metrics(m_statusBar.font());
    for (size_t pane = 0; pane < m_statusPanes.size(); ++pane) {
        auto* label = new QLabel(&m_statusBar);
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_statusPanes[pane] = label;
        if (pane == 0) {
            label->setMinimumWidth(0);
            m_statusBar.addWidget(label, 1);
            continue;
        }
        const int textWidth = metrics.horizontalAdvance(ResourceText(kStatusTemplates[pane - 1]));
        label->setFixedWidth(textWidth + 2 * label->frameWidth());
        m_statusBar.addPermanentWidget(label, 0);
    }
    PlaceStatusBar();
    m_statusBar.show();
    for (QLabel* label : m_statusPanes)
        label->setText(QString());
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
    CResizableDialog::keyPressEvent(event);
}
