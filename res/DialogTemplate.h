#pragma once
// Dialog templates as tables: the window's caption, size and style and one row per control, all
// positions in dialog units. The window layer turns a template into widgets; nothing here knows
// about any toolkit. The tables are constant data; any thread may read them.
#include <cstdint>
#include <span>
#include <string_view>

enum class ControlKind {
    Edit,        // single-line edit
    PushButton,  // push button (owner-drawn ones carry ControlStyle::OwnerDraw)
    Static,      // text label
    Picture,     // a bitmap of the resources, `image` gives its id
    EtchedLine,  // a sunken horizontal line
    ListView,    // report-view list
};

// Style bits of a control. One bit per property the templates use.
namespace ControlStyle {
constexpr uint32_t TabStop = 1u << 0;
constexpr uint32_t Group = 1u << 1;
constexpr uint32_t Border = 1u << 2;
constexpr uint32_t AutoHScroll = 1u << 3;
constexpr uint32_t ReadOnly = 1u << 4;
constexpr uint32_t DefaultButton = 1u << 5;
constexpr uint32_t OwnerDraw = 1u << 6;
constexpr uint32_t AlignCenter = 1u << 7;  // text centred horizontally
constexpr uint32_t AlignRight = 1u << 8;   // text right-aligned
constexpr uint32_t CenterVertically = 1u << 9;
constexpr uint32_t CenterImage = 1u << 10;  // picture centred in the control
constexpr uint32_t ReportView = 1u << 11;
constexpr uint32_t SingleSelection = 1u << 12;
constexpr uint32_t ShowSelectionAlways = 1u << 13;
constexpr uint32_t NoColumnHeader = 1u << 14;
constexpr uint32_t NoSortHeader = 1u << 15;  // column headers do not act as buttons
}  // namespace ControlStyle

// Style bits of a dialog window.
namespace DialogStyle {
constexpr uint32_t Caption = 1u << 0;
constexpr uint32_t SystemMenu = 1u << 1;
constexpr uint32_t MinimizeBox = 1u << 2;
constexpr uint32_t MaximizeBox = 1u << 3;
constexpr uint32_t SizingBorder = 1u << 4;
constexpr uint32_t ModalFrame = 1u << 5;
constexpr uint32_t AppWindow = 1u << 6;  // a window of its own with a task-bar button
constexpr uint32_t ClipChildren = 1u << 7;
}  // namespace DialogStyle

struct DialogControlTemplate {
    int id;  // control id, IDC_STATIC for controls nobody addresses
    ControlKind kind;
    std::u16string_view text;
    int x, y, cx, cy;  // dialog units
    uint32_t style;    // ControlStyle bits
    int image = 0;     // bitmap id of a Picture
};

struct DialogTemplate {
    int id;
    std::u16string_view caption;
    std::u16string_view fontFace;  // stands for the desktop's default dialog font
    int pointSize;
    int cx, cy;                                       // client size in dialog units
    uint32_t style;                                   // DialogStyle bits
    std::span<const DialogControlTemplate> controls;  // template order = tab order
};

// The template with this id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);
