#pragma once
// Control ids and template styles attached to the widgets that a dialog template created. Window
// thread only.
#include <QVariant>
#include <QWidget>

#include <cstdint>

inline constexpr char kControlIdProperty[] = "quillonControlId";
inline constexpr char kTemplateStyleProperty[] = "quillonTemplateStyle";

// Gives the widget its control id.
inline void SetDlgCtrlID(QWidget* widget, int id)
{
    widget->setProperty(kControlIdProperty, id);
}

// The widget's control id, 0 when it has none (a widget the template did not make).
inline int GetDlgCtrlID(const QWidget* widget)
{
    QVariant id = widget ? widget->property(kControlIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : 0;
}

// Records the template's style bits (ControlStyle) on the widget.
inline void SetTemplateStyle(QWidget* widget, uint32_t style)
{
    widget->setProperty(kTemplateStyleProperty, static_cast<qulonglong>(style));
}

// The template's style bits of the widget, 0 when it has none.
inline uint32_t GetTemplateStyle(const QWidget* widget)
{
    QVariant style = widget ? widget->property(kTemplateStyleProperty) : QVariant();
    return style.isValid() ? static_cast<uint32_t>(style.toULongLong()) : 0;
}
