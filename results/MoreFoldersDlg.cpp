#include "results/MoreFoldersDlg.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kEntryRole = Qt::UserRole;

}  // namespace

CMoreFoldersDlg::CMoreFoldersDlg(std::vector<QString> entries, QWidget* parent) : QDialog(parent), m_entries(std::move(entries))
{
    setWindowTitle(QStringLiteral("More Folders"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("&Filter:"), this);
    m_pFilter = new QLineEdit(this);
    m_pFilter->setAccessibleName(QStringLiteral("Filter"));
    m_pFilter->setAccessibleDescription(QStringLiteral("Shows only the folders whose text contains what is typed"));
    m_pFilter->setClearButtonEnabled(true);
    caption->setBuddy(m_pFilter);
    m_pList = new QListWidget(this);
    m_pList->setAccessibleName(QStringLiteral("Folders"));
    m_pList->setUniformItemSizes(true);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        auto* item = new QListWidgetItem(m_entries[i], m_pList);
        item->setData(kEntryRole, static_cast<int>(i));
    }
    m_pList->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QAbstractButton* button : buttons->buttons()) {
        if (auto* push = qobject_cast<QPushButton*>(button))
            push->setAutoDefault(false);
    }
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(caption);
    layout->addWidget(m_pFilter);
    layout->addWidget(m_pList, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pFilter, &QLineEdit::textChanged, this, &CMoreFoldersDlg::ApplyFilter);
    connect(m_pList, &QListWidget::itemActivated, this, [this] { accept(); });
    resize(fontMetrics().averageCharWidth() * 70, fontMetrics().height() * 24);
}

CMoreFoldersDlg::~CMoreFoldersDlg() = default;

void CMoreFoldersDlg::ApplyFilter(const QString& text)
{
    QListWidgetItem* first = nullptr;
    for (int row = 0; row < m_pList->count(); ++row) {
        QListWidgetItem* item = m_pList->item(row);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    if (!m_pList->currentItem() || m_pList->currentItem()->isHidden())
        m_pList->setCurrentItem(first);
}

void CMoreFoldersDlg::accept()
{
    QListWidgetItem* item = m_pList->currentItem();
    if (!item || item->isHidden())
        return;  // nothing to pick: the dialog stays
    m_picked = item->data(kEntryRole).toInt();
    QDialog::accept();
}
