#pragma once
// The dialog base: a QDialog built from a dialog template, with the operations of a classic
// dialog (DoModal, OnInitDialog, DoDataExchange, UpdateData) and member controls bound to
// control ids. Enter ends the dialog like OK (a focused push button is pressed instead), Esc like
// Cancel, the window's close button through OnClose. What its controls report (button clicks,
// list clicks, header clicks, selection changes, a menu button's pick) and the messages a worker
// sends reach one handler each through the dialog's routing table. Window thread only.
#include <QDialog>

#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "widgets/DialogTemplateBuilder.h"
#include "widgets/Notify.h"

class CDataExchange;
class QCloseEvent;
class QKeyEvent;

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(int templateId, QWidget* parent = nullptr);
    ~CDialog() override;

    // Creates the window and its controls, initialises it, runs it modally until it ends, then
    // ends the window (OnDestroy). Returns the result given to EndDialog, or -1 when the template
    // does not exist.
    int DoModal();

    // Creates the window from its template and runs OnInitDialog, without showing it and without
    // entering a loop. Returns false when the template does not exist or the window exists already.
    bool Create();

    // Ends the window once: runs OnDestroy and hides it. Nothing happens for a window that was
    // never created or has already ended.
    void DestroyWindow();

    // Ends a modal run with the given result.
    void EndDialog(int result);

    // Runs DoDataExchange: controls to members when `saveAndValidate`, else members to controls.
    // No exchange fails: every exchange moves text, and a size text reads as its leading digits.
    void UpdateData(bool saveAndValidate = true);

    // The control with this id (the bound member, once bound), or nullptr.
    QWidget* GetDlgItem(int id) const;

    // The base units of the dialog font, valid once the window exists.
    const CDialogTemplateBuilder::BaseUnits& GetBaseUnits() const { return m_baseUnits; }

    // The controls in template order (tab order).
    const std::vector<QWidget*>& TemplateControls() const { return m_controls; }

    // Puts the member widget in the place of template control `id`: parent, geometry, text,
    // alignment, font, enabled and shown state, id, style bits, focus policy and tab order. The
    // template's own widget is deleted. Returns false when there is no such control.
    bool BindControl(int id, QWidget& member);
    bool IsBound(const QWidget& member) const;

    bool IsCreated() const { return m_bCreated; }

    using NotifyHandler = std::function<void(const CNotify&)>;
    using MessageHandler = std::function<void()>;

    // Routes notification `code` of control `id` to the handler, replacing an earlier route of
    // the same pair. OK (1) and Cancel (2) clicks are routed to OnOK and OnCancel from the start.
    void RouteNotify(int id, int code, NotifyHandler handler);
    // Routes a private message (a worker's WMU_ message) to the handler.
    void RouteMessage(unsigned message, MessageHandler handler);

    // Runs the handler routed for (id, code) and returns true, or returns false when none is.
    // A notification of a disabled control is still delivered: the control decides what it sends.
    bool SendNotify(int id, int code, const CNotify& info = {});
    // Runs the handler routed for the message; false when none is.
    bool SendDialogMessage(unsigned message);

    // What a control calls to tell its dialog: finds the nearest CDialog among the control's
    // ancestors and sends it the notification under the control's id. False when there is no
    // such dialog or no route.
    static bool NotifyParent(QWidget* control, int code, const CNotify& info = {});

protected:
    // The window exists with its size and flags, before any control of the template.
    virtual void OnCreate() {}
    // After the controls exist: binds and fills them (UpdateData(false)). True puts the focus on
    // the first tab stop.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // The window ends (also when a modal run ends): the last moment the window state is valid.
    virtual void OnDestroy() {}
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Every push button of the template reports its clicks as BN_CLICKED.
    void ConnectButtons();

    int m_nIDTemplate;
    bool m_bCreated = false;
    bool m_bDestroyed = false;
    CDialogTemplateBuilder::BaseUnits m_baseUnits;
    std::vector<QWidget*> m_controls;
    std::map<std::pair<int, int>, NotifyHandler> m_notifyRoutes;
    std::map<unsigned, MessageHandler> m_messageRoutes;
};
