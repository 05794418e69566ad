#include "widgets/DialogTemplateBuilder.h"

#include <QDialog>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <cmath>

#include "widgets/ControlId.h"
#include "widgets/QtText.h"
#include "widgets/ResourceImages.h"

namespace {

Qt::Alignment StaticAlignment(uint32_t style)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (style & ControlStyle::AlignCenter)
        horizontal = Qt::AlignHCenter;
    else if (style & ControlStyle::AlignRight)
        horizontal = Qt::AlignRight;
    Qt::Alignment vertical = (style & ControlStyle::CenterVertically) ? Qt::AlignVCenter : Qt::AlignTop;
    return horizontal | vertical;
}

QWidget* CreateEdit(const DialogControlTemplate& control, QWidget* parent)
{
    auto* edit = new QLineEdit(ToQString(control.text), parent);
    edit->setFrame((control.style & ControlStyle::Border) != 0);
    edit->setReadOnly((control.style & ControlStyle::ReadOnly) != 0);
    return edit;
}

QWidget* CreateButton(const DialogControlTemplate& control, QWidget* parent)
{
    auto* button = new QPushButton(ToQString(control.text), parent);
    // A button of a dialog would otherwise become the default whenever it has the focus.
    button->setAutoDefault(false);
    button->setDefault((control.style & ControlStyle::DefaultButton) != 0);
    return button;
}

QWidget* CreateStatic(const DialogControlTemplate& control, QWidget* parent)
{
    auto* label = new QLabel(ToQString(control.text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(StaticAlignment(control.style));
    return label;
}

QWidget* CreatePicture(const DialogControlTemplate& control, QWidget* parent)
{
    auto* picture = new QLabel(parent);
    picture->setPixmap(LoadBitmapResource(control.image));
    picture->setAlignment((control.style & ControlStyle::CenterImage) ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
    return picture;
}

QWidget* CreateEtchedLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return line;
}

Qt::FocusPolicy FocusPolicyOf(const DialogControlTemplate& control)
{
    switch (control.kind) {
    case ControlKind::Static:
    case ControlKind::Picture:
    case ControlKind::EtchedLine:
        return Qt::NoFocus;
    default:
        return (control.style & ControlStyle::TabStop) ? Qt::StrongFocus : Qt::ClickFocus;
    }
}

}  // namespace

CDialogTemplateBuilder::BaseUnits CDialogTemplateBuilder::DialogBaseUnits(const QFont& font)
{
    QFontMetricsF metrics(font);
    BaseUnits units;
    units.cx = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    units.cy = static_cast<int>(std::lround(metrics.height()));
    return units;
}

int CDialogTemplateBuilder::MapX(int dialogUnits, const BaseUnits& units)
{
    return static_cast<int>(std::lround(dialogUnits * units.cx / 4.0));
}

int CDialogTemplateBuilder::MapY(int dialogUnits, const BaseUnits& units)
{
    return static_cast<int>(std::lround(dialogUnits * units.cy / 8.0));
}

QRect CDialogTemplateBuilder::MapDialogRect(int x, int y, int cx, int cy, const BaseUnits& units)
{
    return QRect(MapX(x, units), MapY(y, units), MapX(cx, units), MapY(cy, units));
}

CDialogTemplateBuilder::BaseUnits CDialogTemplateBuilder::ApplyWindow(const DialogTemplate& dialogTemplate, QDialog& dialog)
{
    const uint32_t style = dialogTemplate.style;
    Qt::WindowFlags flags = (style & DialogStyle::AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style & DialogStyle::SystemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & DialogStyle::MinimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    if (style & DialogStyle::MaximizeBox)
        flags |= Qt::WindowMaximizeButtonHint;
    dialog.setWindowFlags(flags);
    dialog.setWindowTitle(ToQString(dialogTemplate.caption));

    BaseUnits units = DialogBaseUnits(dialog.font());
    QSize client(MapX(dialogTemplate.cx, units), MapY(dialogTemplate.cy, units));
    if (style & DialogStyle::SizingBorder)
        dialog.resize(client);
    else
        dialog.setFixedSize(client);
    return units;
}

QWidget* CDialogTemplateBuilder::CreateControl(const DialogControlTemplate& control, QWidget* parent)
{
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::Edit:
        widget = CreateEdit(control, parent);
        break;
    case ControlKind::PushButton:
        widget = CreateButton(control, parent);
        break;
    case ControlKind::Static:
        widget = CreateStatic(control, parent);
        break;
    case ControlKind::Picture:
        widget = CreatePicture(control, parent);
        break;
    case ControlKind::EtchedLine:
        widget = CreateEtchedLine(parent);
        break;
    case ControlKind::ListView:
        widget = new QTableView(parent);
        break;
    }
    SetDlgCtrlID(widget, control.id);
    SetTemplateStyle(widget, control.style);
    widget->setFocusPolicy(FocusPolicyOf(control));
    return widget;
}

std::vector<QWidget*> CDialogTemplateBuilder::CreateControls(const DialogTemplate& dialogTemplate, QDialog& dialog,
                                                             const BaseUnits& units)
{
    std::vector<QWidget*> controls;
    controls.reserve(dialogTemplate.controls.size());
    for (const DialogControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = CreateControl(control, &dialog);
        widget->setGeometry(MapDialogRect(control.x, control.y, control.cx, control.cy, units));
        controls.push_back(widget);
    }
    ApplyTabOrder(controls);
    return controls;
}

void CDialogTemplateBuilder::ApplyTabOrder(const std::vector<QWidget*>& controls)
{
    QWidget* previous = nullptr;
    for (QWidget* widget : controls) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}
