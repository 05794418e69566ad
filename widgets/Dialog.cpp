#include "widgets/Dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QVariant>

#include <algorithm>

#include "res/DialogTemplate.h"
#include "res/ResourceIds.h"
#include "widgets/ControlId.h"
#include "widgets/DataExchange.h"

namespace {

// Widget properties a bound member takes over from the template's widget when it has them too.
constexpr const char* kCopiedProperties[] = {"text", "alignment", "readOnly", "frame"};

}  // namespace

CDialog::CDialog(int templateId, QWidget* parent) : QDialog(parent), m_nIDTemplate(templateId)
{
    RouteNotify(IDOK, BN_CLICKED, [this](const CNotify&) { OnOK(); });
    RouteNotify(IDCANCEL, BN_CLICKED, [this](const CNotify&) { OnCancel(); });
}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    if (!m_bCreated && !Create())
        return -1;
    int result = exec();
    DestroyWindow();
    return result;
}

bool CDialog::Create()
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_nIDTemplate);
    if (!dialogTemplate || m_bCreated)
        return false;
    m_bCreated = true;
    m_bDestroyed = false;
    m_baseUnits = CDialogTemplateBuilder::ApplyWindow(*dialogTemplate, *this);
    OnCreate();
    m_controls = CDialogTemplateBuilder::CreateControls(*dialogTemplate, *this, m_baseUnits);
    const bool focusFirst = OnInitDialog();
    ConnectButtons();
    if (focusFirst) {
        auto first = std::find_if(m_controls.begin(), m_controls.end(), [](QWidget* widget) {
            return (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && !widget->isHidden();
        });
        if (first != m_controls.end())
            (*first)->setFocus(Qt::TabFocusReason);
    }
    return true;
}

void CDialog::DestroyWindow()
{
    if (!m_bCreated || m_bDestroyed)
        return;
    m_bDestroyed = true;
    OnDestroy();
    hide();
}

void CDialog::EndDialog(int result)
{
    done(result);
}

void CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(dx);
}

QWidget* CDialog::GetDlgItem(int id) const
{
    auto found = std::find_if(m_controls.begin(), m_controls.end(), [id](QWidget* widget) { return GetDlgCtrlID(widget) == id; });
    return found == m_controls.end() ? nullptr : *found;
}

void CDialog::ConnectButtons()
{
    // After OnInitDialog: the member controls have taken their places by then.
    for (QWidget* control : m_controls) {
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            connect(button, &QAbstractButton::clicked, this, [button] { NotifyParent(button, BN_CLICKED); });
    }
}

void CDialog::RouteNotify(int id, int code, NotifyHandler handler)
{
    m_notifyRoutes[{id, code}] = std::move(handler);
}

void CDialog::RouteMessage(unsigned message, MessageHandler handler)
{
    m_messageRoutes[message] = std::move(handler);
}

bool CDialog::SendNotify(int id, int code, const CNotify& info)
{
    auto route = m_notifyRoutes.find({id, code});
    if (route == m_notifyRoutes.end() || !route->second)
        return false;
    // A copy: the handler may replace its own route.
    NotifyHandler handler = route->second;
    handler(info);
    return true;
}

bool CDialog::SendDialogMessage(unsigned message)
{
    auto route = m_messageRoutes.find(message);
    if (route == m_messageRoutes.end() || !route->second)
        return false;
    MessageHandler handler = route->second;
    handler();
    return true;
}

bool CDialog::NotifyParent(QWidget* control, int code, const CNotify& info)
{
    if (!control)
        return false;
    for (QWidget* ancestor = control->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto* dialog = qobject_cast<CDialog*>(ancestor))
            return dialog->SendNotify(GetDlgCtrlID(control), code, info);
    }
    return false;
}

bool CDialog::BindControl(int id, QWidget& member)
{
    auto slot = std::find_if(m_controls.begin(), m_controls.end(), [id](QWidget* widget) { return GetDlgCtrlID(widget) == id; });
    if (slot == m_controls.end())
        return false;
    QWidget* placeholder = *slot;
    member.setParent(this);
    for (const char* name : kCopiedProperties) {
        QVariant value = placeholder->property(name);
        if (value.isValid() && member.property(name).isValid())
            member.setProperty(name, value);
    }
    member.setGeometry(placeholder->geometry());
    member.setEnabled(placeholder->isEnabled());
    member.setFocusPolicy(placeholder->focusPolicy());
    SetDlgCtrlID(&member, id);
    SetTemplateStyle(&member, GetTemplateStyle(placeholder));
    member.stackUnder(placeholder);
    member.setVisible(!placeholder->isHidden());
    *slot = &member;
    delete placeholder;
    CDialogTemplateBuilder::ApplyTabOrder(m_controls);
    return true;
}

bool CDialog::IsBound(const QWidget& member) const
{
    return std::find(m_controls.begin(), m_controls.end(), &member) != m_controls.end();
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&)
{
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::OnClose()
{
    OnCancel();
}

void CDialog::keyPressEvent(QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Escape) {
        OnCancel();
        return;
    }
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled())
                button->click();
        } else {
            OnOK();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::closeEvent(QCloseEvent* event)
{
    // The close button of the window frame. EndDialog accepts its own close; this one is the
    // user's request, which OnClose may honour or not.
    OnClose();
    if (isVisible())
        event->ignore();
    else
        event->accept();
}
