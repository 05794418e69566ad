// The dialog templates of the program: main window (102), About box (100), pattern dialog (160).
#include "res/DialogTemplate.h"

#include <array>

#include "res/ResourceIds.h"

namespace {

using namespace ControlStyle;
using K = ControlKind;

constexpr uint32_t kEdit = Border | AutoHScroll | TabStop;
constexpr uint32_t kButton = TabStop;

// Main dialog, in template (= tab) order.
constexpr std::array kMainControls{
    DialogControlTemplate{IDC_EDIT_FOLDER, K::Edit, u"", 7, 23, 380, 14, kEdit},
    DialogControlTemplate{IDC_LIST_FOLDERS, K::ListView, u"", 7, 61, 382, 70,
                          ReportView | SingleSelection | ShowSelectionAlways | NoColumnHeader | Border | TabStop},
    DialogControlTemplate{IDC_BUTTON_ADD, K::PushButton, u"Add", 430, 23, 37, 14, kButton},
    DialogControlTemplate{IDC_BUTTON_BROWSE, K::PushButton, u"...", 401, 23, 23, 14, kButton},
    DialogControlTemplate{IDC_BUTTON_DELETE_FOLDER, K::PushButton, u"Delete", 409, 60, 58, 14, kButton},
    DialogControlTemplate{IDC_LIST_RESULTS, K::ListView, u"", 7, 177, 460, 158, ReportView | Border | TabStop},
    DialogControlTemplate{IDC_BUTTON_SEARCH, K::PushButton, u"Search for Duplicates", 7, 156, 92, 14, kButton},
    DialogControlTemplate{IDC_BUTTON_SELECT, K::PushButton, u"Select", 7, 355, 65, 13, kButton | OwnerDraw},
    DialogControlTemplate{IDC_BUTTON_FOLDERS, K::PushButton, u"Folders", 90, 355, 65, 13, kButton | OwnerDraw},
    DialogControlTemplate{IDC_BUTTON_DELETE, K::PushButton, u"Delete", 319, 355, 65, 13, kButton},
    DialogControlTemplate{IDC_BUTTON_DESELECT, K::PushButton, u"De-Select", 239, 355, 65, 13, kButton},
    DialogControlTemplate{IDC_BUTTON_STOP, K::PushButton, u"Stop", 119, 156, 50, 14, kButton},
    DialogControlTemplate{IDC_BUTTON_WILDCARDS, K::PushButton, u"Wildcards", 170, 355, 54, 13, kButton},
    DialogControlTemplate{IDC_BUTTON_DELETE_ALL, K::PushButton, u"Delete All", 409, 80, 58, 14, kButton},
    DialogControlTemplate{IDC_STATIC, K::Static, u"File Size :   from", 204, 156, 53, 14, CenterVertically},
    DialogControlTemplate{IDC_EDIT_SIZE_FROM, K::Edit, u"", 264, 156, 65, 14, kEdit},
    DialogControlTemplate{IDC_EDIT_SIZE_TO, K::Edit, u"", 378, 156, 68, 14, kEdit},
    DialogControlTemplate{IDC_STATIC, K::Static, u"to", 358, 156, 13, 14, AlignCenter},
    DialogControlTemplate{IDC_CAPTION_FOLDERS, K::Static, u"Folders", 7, 47, 460, 8, 0},
    DialogControlTemplate{IDC_CAPTION_ADD_FOLDER, K::Static, u"Add Folder", 7, 10, 460, 8, 0},
    DialogControlTemplate{IDC_CAPTION_SEARCH, K::Static, u"Search", 7, 143, 460, 8, 0},
    DialogControlTemplate{IDC_CAPTION_SELECT, K::Static, u"Select", 7, 343, 460, 8, 0},
    DialogControlTemplate{IDC_STATIC, K::Static, u"KB", 334, 156, 9, 14, CenterVertically},
    DialogControlTemplate{IDC_STATIC, K::Static, u"KB", 449, 156, 9, 14, CenterVertically},
};

// About box.
constexpr std::array kAboutControls{
    DialogControlTemplate{IDOK, K::PushButton, u"OK", 181, 150, 50, 14, DefaultButton | Group | TabStop},
    DialogControlTemplate{IDC_STATIC, K::EtchedLine, u"", 1, 110, 241, 1, 0},
    DialogControlTemplate{IDC_HYPERLINK, K::Static, u"https://www.velvane.example/quillon/", 12, 117, 142, 10, Group},
    DialogControlTemplate{IDC_EDIT_VERSION, K::Edit, u"", 50, 78, 153, 12, ReadOnly | AutoHScroll | TabStop},
    DialogControlTemplate{IDC_STATIC, K::Picture, u"", 0, 0, 243, 68, CenterImage, IDB_BANNER},
    DialogControlTemplate{IDC_STATIC, K::Static, u"Duplicates go to the Trash; nothing is deleted for good.", 12, 130, 214, 8, 0},
    DialogControlTemplate{IDC_STATIC, K::Static, u"Version: ", 12, 78, 32, 8, 0},
    DialogControlTemplate{IDC_STATIC, K::Static, u"Build on:", 12, 92, 32, 8, 0},
    DialogControlTemplate{IDC_EDIT_BUILD_TIME, K::Edit, u"", 50, 92, 153, 12, ReadOnly | AutoHScroll | TabStop},
};

// Pattern dialog of the "Wildcards" command.
constexpr std::array kWildcardControls{
    DialogControlTemplate{IDC_EDIT_PATTERN, K::Edit, u"", 11, 6, 208, 13, kEdit},
    DialogControlTemplate{IDOK, K::PushButton, u"OK", 11, 33, 50, 14, DefaultButton | TabStop},
    DialogControlTemplate{IDCANCEL, K::PushButton, u"Cancel", 71, 33, 50, 14, TabStop},
    DialogControlTemplate{IDC_PATTERN_LINE, K::EtchedLine, u"", 13, 26, 208, 1, 0},
};

using namespace DialogStyle;

constexpr std::array kTemplates{
    DialogTemplate{IDD_QUILLON_DIALOG, u"Velvane Quillon", u"MS Shell Dlg", 8, 474, 384,
                   Caption | SystemMenu | MinimizeBox | SizingBorder | AppWindow | ClipChildren, kMainControls},
    DialogTemplate{IDD_ABOUTBOX, u"About Quillon", u"Tahoma", 8, 243, 168, Caption | SystemMenu | ModalFrame, kAboutControls},
    DialogTemplate{IDD_WILDCARD_SELECT, u"Select", u"Tahoma", 8, 228, 55, Caption | SystemMenu | ModalFrame, kWildcardControls},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : kTemplates) {
        if (dialog.id == id)
            return &dialog;
    }
    return nullptr;
}
