// The anchors of a window's children, set by control id once the children are captured.
#include <gtest/gtest.h>

#include "res/ResourceIds.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/AnchorLayout.h"
#include "widgets/ResizableDialog.h"
#include "widgets/SizeGrip.h"

namespace {

class LayoutDialog : public CResizableDialog {
public:
    LayoutDialog() : CResizableDialog(IDD_QUILLON_DIALOG) {}

    QWidget* Item(int id) const { return GetDlgItem(id); }
    CSizeGrip* Grip() const { return SizeGrip(); }
};

TEST(AnchorLayout, AnchorsAreIgnoredBeforeCaptureAndForUnknownControls)
{
    LayoutDialog dialog;
    CAnchorLayout layout;
    EXPECT_FALSE(layout.SetAnchor(IDC_BUTTON_ADD, ANCHOR_RIGHT));
    ASSERT_TRUE(dialog.Create());
    layout.Capture(&dialog);
    EXPECT_FALSE(layout.SetAnchor(4242, ANCHOR_RIGHT));
    EXPECT_TRUE(layout.SetAnchor(IDC_BUTTON_ADD, ANCHOR_RIGHT));
    EXPECT_EQ(layout.AnchorOf(dialog.Item(IDC_BUTTON_ADD)), ANCHOR_RIGHT);
    EXPECT_EQ(layout.AnchorOf(dialog.Item(IDC_BUTTON_STOP)), 0u);
    EXPECT_EQ(layout.AnchorOf(dialog.Grip()), 0u) << "the grip is captured with the default flags";
}

}  // namespace
