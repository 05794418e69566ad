#pragma once
// Turns a dialog template (res/DialogTemplate.h) into widgets. Dialog units become pixels by the
// dialog font: x px = x du * cx / 4 and y px = y du * cy / 8, where cx is the average width of the
// 52 letters A-Z a-z and cy the font's line height; each value is rounded to the nearest pixel.
// Controls are placed absolutely; no Qt layout is involved. Window thread only.
#include <QFont>
#include <QRect>

#include <vector>

#include "res/DialogTemplate.h"

class QDialog;
class QWidget;

class CDialogTemplateBuilder {
public:
    struct BaseUnits {
        double cx = 0;  // average letter width in pixels
        int cy = 0;     // line height in pixels
    };

    // The base units of the font.
    static BaseUnits DialogBaseUnits(const QFont& font);

    // Dialog units to pixels: every value is converted on its own, then rounded.
    static int MapX(int dialogUnits, const BaseUnits& units);
    static int MapY(int dialogUnits, const BaseUnits& units);
    static QRect MapDialogRect(int x, int y, int cx, int cy, const BaseUnits& units);

    // Gives the dialog the template's caption, window flags and client size (in the dialog's
    // current font). Returns the base units used.
    static BaseUnits ApplyWindow(const DialogTemplate& dialogTemplate, QDialog& dialog);

    // Creates the template's controls as children of the dialog, in template order, placed in
    // pixels of `units`, each carrying its control id and style bits (ControlId.h). Tab order
    // follows template order.
    static std::vector<QWidget*> CreateControls(const DialogTemplate& dialogTemplate, QDialog& dialog, const BaseUnits& units);

    // One control of a template, not yet placed. Never returns nullptr.
    static QWidget* CreateControl(const DialogControlTemplate& control, QWidget* parent);

    // Chains the focusable widgets, in the given order, as the tab order.
    static void ApplyTabOrder(const std::vector<QWidget*>& controls);
};
