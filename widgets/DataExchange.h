#pragma once
// Moving values between a dialog's controls and its members, and binding member controls to
// control ids. Called from a dialog's DoDataExchange on the window thread.
#include <QString>

#include <string>

#include "widgets/Dialog.h"

// The direction and the dialog of one exchange.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    bool m_bSaveAndValidate;  // true: controls to members; false: members to controls
    CDialog* m_pDlgWnd;
};

// Plain text transfer between the control's text and the member. A control without text is left
// alone (writing) or gives an empty text (reading).
void DDX_Text(CDataExchange& dx, int id, QString& value);
void DDX_Text(CDataExchange& dx, int id, std::u16string& value);

// Binds the member control to control `id` the first time it is exchanged: the member takes the
// template control's place (geometry, text, state, tab order) and its PreSubclassWindow runs.
template <class Control>
void DDX_Control(CDataExchange& dx, int id, Control& control)
{
    if (dx.m_pDlgWnd->IsBound(control))
        return;
    if (!dx.m_pDlgWnd->BindControl(id, control))
        return;
    if constexpr (requires { control.PreSubclassWindow(); })
        control.PreSubclassWindow();
}
