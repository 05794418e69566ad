#include "results/WildCardSelect.h"

#include "res/ResourceIds.h"
#include "widgets/DataExchange.h"

CWildCardSelect::CWildCardSelect(QWidget* parent) : CDialog(IDD_WILDCARD_SELECT, parent)
{
}

CWildCardSelect::~CWildCardSelect() = default;

void CWildCardSelect::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_PATTERN, m_strPattern);
}

bool CWildCardSelect::OnInitDialog()
{
    const bool result = CDialog::OnInitDialog();
    if (QWidget* edit = GetDlgItem(IDC_EDIT_PATTERN)) {
        edit->setAccessibleName(QStringLiteral("Pattern"));
        edit->setAccessibleDescription(
            QStringLiteral("Marks the files whose full path matches: * stands for any characters, ? for one; "
                           "separate several patterns with a semicolon. Example: *.jpg;*/Backup/*"));
    }
    return result;
}
