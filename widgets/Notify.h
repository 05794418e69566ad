#pragma once
// What a control tells its dialog: the control's id, a notification code, and for list
// notifications the row, the column and the point the notification is about. A control reports
// through CDialog::NotifyParent; the dialog's routing table takes it to one handler. Window
// thread only.
#include <QPoint>

#include <cstdint>

// Notification codes. Buttons report positive codes, lists negative ones.
constexpr int BN_CLICKED = 0;          // a push button was clicked (mouse or keyboard)
constexpr int MBN_PICKED = 5;          // a menu button's drop-down has closed (picked or dismissed)
constexpr int NM_CLICK = -2;           // a click on a list's rows area
constexpr int NM_DBLCLK = -3;          // a double click on a list's cell
constexpr int NM_RETURN = -4;          // Enter on a list's current cell
constexpr int NM_RCLICK = -5;          // a list's context menu asked for (right click, Menu key, Shift+F10)
constexpr int LVN_ITEMCHANGED = -101;  // a list's row selection changed
constexpr int LVN_COLUMNCLICK = -108;  // a click on a list's column header

// Hit-test flags of a point in a list (SubItemHitTest).
constexpr uint32_t LVHT_NOWHERE = 0x0001;
constexpr uint32_t LVHT_ONITEMICON = 0x0002;
constexpr uint32_t LVHT_ONITEMLABEL = 0x0004;

struct CNotify {
    int row = -1;     // the row concerned, -1 for none
    int column = -1;  // the column concerned (the clicked header's for LVN_COLUMNCLICK), -1 for none
    QPoint point;     // for NM_CLICK: where the click was, in the rows area's coordinates; for
                      // NM_RCLICK: where the menu goes, in screen coordinates
};
