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
