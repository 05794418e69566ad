#include "widgets/DataExchange.h"

#include <QVariant>
#include <QWidget>

void DDX_Text(CDataExchange& dx, int id, QString& value)
{
    QWidget* control = dx.m_pDlgWnd->GetDlgItem(id);
    if (!control)
        return;
    if (dx.m_bSaveAndValidate)
        value = control->property("text").toString();
    else
        control->setProperty("text", value);
}

void DDX_Text(CDataExchange& dx, int id, std::u16string& value)
{
    QString text = QString::fromStdU16String(value);
    DDX_Text(dx, id, text);
    if (dx.m_bSaveAndValidate)
        value = text.toStdU16String();
}
