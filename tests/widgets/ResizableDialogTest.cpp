// The resizable dialog: minimum size, size grip, anchored children and the placement remembered
// in the profile.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <algorithm>

#include <map>

#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/AnchorLayout.h"
#include "widgets/ControlId.h"
#include "widgets/ResizableDialog.h"
#include "widgets/SizeGrip.h"
#include "widgets/WindowPlacement.h"

namespace {

class LayoutDialog : public CResizableDialog {
public:
    LayoutDialog() : CResizableDialog(IDD_QUILLON_DIALOG) {}

    CAnchorLayout m_layout;
    bool m_bRememberPlacement = false;

    QWidget* Item(int id) const { return GetDlgItem(id); }
    CSizeGrip* Grip() const { return SizeGrip(); }

protected:
    bool OnInitDialog() override
    {
        CResizableDialog::OnInitDialog();
        m_layout.Capture(this);
        m_layout.SetAnchor(IDC_EDIT_FOLDER, ANCHOR_TOP | ANCHOR_LEFT | ANCHOR_RIGHT);
        m_layout.SetAnchor(IDC_BUTTON_ADD, ANCHOR_TOP | ANCHOR_RIGHT);
        m_layout.SetAnchor(IDC_LIST_RESULTS, ANCHOR_TOP | ANCHOR_BOTTOM | ANCHOR_LEFT | ANCHOR_RIGHT);
        m_layout.SetAnchor(IDC_BUTTON_DELETE, ANCHOR_BOTTOM | ANCHOR_LEFT);
        m_layout.SetAnchor(IDC_CAPTION_SELECT, ANCHOR_BOTTOM | ANCHOR_LEFT | ANCHOR_RIGHT);
        if (m_bRememberPlacement)
            EnablePlacementMemory(u"Layout");
        return true;
    }
    void OnSize(SizeType type, int cx, int cy) override
    {
        CResizableDialog::OnSize(type, cx, cy);
        m_layout.Arrange();
    }
};

std::map<QWidget*, QRect> ChildRects(const QWidget& window)
{
    std::map<QWidget*, QRect> rects;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        rects[child] = child->geometry();
    return rects;
}

void ShowAndWait(QWidget& window)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

void ResizeBy(QWidget& window, int dx, int dy)
{
    window.resize(window.width() + dx, window.height() + dy);
    QCoreApplication::processEvents();
}

TEST(ResizableDialog, CannotBeMadeSmallerThanItsFirstSize)
{
    LayoutDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowAndWait(dialog);
    const QSize first = dialog.size();
    dialog.resize(first.width() - 200, first.height() - 100);
    EXPECT_EQ(dialog.size(), first);
    dialog.resize(first.width() + 40, first.height() - 100);
    EXPECT_EQ(dialog.size(), QSize(first.width() + 40, first.height()));
}

TEST(ResizableDialog, SizeGripStaysInTheBottomRightCornerAtEverySize)
{
    LayoutDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowAndWait(dialog);
    ASSERT_NE(dialog.Grip(), nullptr);
    for (QSize delta : {QSize(0, 0), QSize(100, 50), QSize(333, 7), QSize(-433, -57)}) {
        ResizeBy(dialog, delta.width(), delta.height());
        EXPECT_TRUE(dialog.Grip()->isVisible());
        EXPECT_EQ(dialog.Grip()->geometry().bottomRight(), dialog.rect().bottomRight());
        EXPECT_EQ(dialog.Grip()->width(), CSizeGrip::GripExtent(dialog.Grip()));
    }
}

TEST(ResizableDialog, AnchorsMoveStretchOrKeepEachChildAndShrinkingBackRestoresEveryRectangle)
{
    LayoutDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowAndWait(dialog);
    const std::map<QWidget*, QRect> first = ChildRects(dialog);
    auto before = [&](int id) { return first.at(dialog.Item(id)); };

    ResizeBy(dialog, 100, 50);
    EXPECT_EQ(dialog.Item(IDC_EDIT_FOLDER)->geometry(), before(IDC_EDIT_FOLDER).adjusted(0, 0, 100, 0));
    EXPECT_EQ(dialog.Item(IDC_BUTTON_ADD)->geometry(), before(IDC_BUTTON_ADD).translated(100, 0));
    EXPECT_EQ(dialog.Item(IDC_LIST_RESULTS)->geometry(), before(IDC_LIST_RESULTS).adjusted(0, 0, 100, 50));
    EXPECT_EQ(dialog.Item(IDC_BUTTON_DELETE)->geometry(), before(IDC_BUTTON_DELETE).translated(0, 50));
    EXPECT_EQ(dialog.Item(IDC_CAPTION_SELECT)->geometry(), before(IDC_CAPTION_SELECT).adjusted(0, 50, 100, 50));
    EXPECT_EQ(dialog.Item(IDC_BUTTON_SEARCH)->geometry(), before(IDC_BUTTON_SEARCH));

    ResizeBy(dialog, 37, 91);
    ResizeBy(dialog, -137, -141);
    const std::map<QWidget*, QRect> back = ChildRects(dialog);
    for (const auto& [child, rect] : first) {
        if (child != dialog.Grip()) {
            EXPECT_EQ(back.at(child), rect) << "control " << GetDlgCtrlID(child);
        }
    }
}

TEST(ResizableDialog, MaximisedWindowHidesTheGripAndRestoringShowsItAgain)
{
    LayoutDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowAndWait(dialog);
    dialog.showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(dialog.isMaximized());
    EXPECT_FALSE(dialog.Grip()->isVisible());
    dialog.showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.Grip()->isVisible());
    EXPECT_EQ(dialog.Grip()->geometry().bottomRight(), dialog.rect().bottomRight());
}

TEST(ResizableDialog, PlacementOfSevenNumbersIsIgnored)
{
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"LayoutTest");
    ASSERT_TRUE(WriteProfileString(u"ResizableState", u"LayoutWindowPlacement", u"100,80,1100,880,1,0,-1"));
    LayoutDialog dialog;
    dialog.m_bRememberPlacement = true;
    ASSERT_TRUE(dialog.Create());
    const QSize templateSize = dialog.size();
    ShowAndWait(dialog);
    EXPECT_EQ(dialog.size(), templateSize);
    EXPECT_FALSE(dialog.isMaximized());
}

TEST(ResizableDialog, PlacementOfEightNumbersIsAppliedAndWrittenBackAtTheEnd)
{
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"LayoutTest");
    LayoutDialog dialog;
    dialog.m_bRememberPlacement = true;
    ASSERT_TRUE(dialog.Create());
    const QSize first = dialog.size();
    dialog.DestroyWindow();

    const QRect stored(100, 80, first.width() + 120, first.height() + 60);
    CWindowPlacement placement;
    placement.left = stored.left();
    placement.top = stored.top();
    placement.right = stored.left() + stored.width();
    placement.bottom = stored.top() + stored.height();
    ASSERT_TRUE(WriteProfileString(u"ResizableState", u"LayoutWindowPlacement", placement.ToText()));

    LayoutDialog second;
    second.m_bRememberPlacement = true;
    ASSERT_TRUE(second.Create());
    ShowAndWait(second);
    // As stored, as far as the screens can show it (the test screen may be smaller than the
    // dialog's first size, which the window never goes below).
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    const QSize shown(std::max(std::min(stored.width(), desktop.width()), first.width()),
                      std::max(std::min(stored.height(), desktop.height()), first.height()));
    EXPECT_EQ(second.geometry(), QRect(stored.topLeft(), shown));
    // The layout followed the restored size.
    EXPECT_EQ(second.Item(IDC_LIST_RESULTS)->width(),
              CDialogTemplateBuilder::MapX(460, second.GetBaseUnits()) + shown.width() - first.width());

    second.setGeometry(second.geometry().adjusted(0, 0, 10, 20));
    QCoreApplication::processEvents();
    const QRect final = second.geometry();
    second.DestroyWindow();
    std::u16string text = GetProfileString(u"ResizableState", u"LayoutWindowPlacement");
    auto written = CWindowPlacement::FromText(text);
    ASSERT_TRUE(written.has_value()) << std::string(text.begin(), text.end());
    EXPECT_EQ(QRect(QPoint(written->left, written->top), QPoint(written->right - 1, written->bottom - 1)), final);
    EXPECT_EQ(written->showCmd, CWindowPlacement::SW_SHOWNORMAL);
}

TEST(ResizableDialog, ExtremeStoredPlacementsAreClampedToTheScreensWithoutOverflow)
{
    // Run under UBSan: right - left of these overflows int.
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"LayoutTest");
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    for (const char16_t* text : {u"-2147483648,-2147483648,2147483647,2147483647,1,0,-1,-1",
                                 u"2147483647,2147483647,-2147483648,-2147483648,3,2,2147483647,-2147483648"}) {
        ASSERT_TRUE(WriteProfileString(u"ResizableState", u"LayoutWindowPlacement", text));
        LayoutDialog dialog;
        dialog.m_bRememberPlacement = true;
        ASSERT_TRUE(dialog.Create());
        const QSize templateSize = dialog.minimumSize();
        ShowAndWait(dialog);
        dialog.showNormal();
        QCoreApplication::processEvents();
        const QRect placed = dialog.geometry();
        EXPECT_LE(placed.width(), std::max(desktop.width(), templateSize.width()));
        EXPECT_LE(placed.height(), std::max(desktop.height(), templateSize.height()));
        EXPECT_GE(placed.right(), desktop.left() - 1);
        EXPECT_LE(placed.left(), desktop.right() + 1);
        EXPECT_EQ(dialog.Grip()->geometry().bottomRight(), dialog.rect().bottomRight());
        dialog.DestroyWindow();
        // What is written back reads again.
        EXPECT_TRUE(CWindowPlacement::FromText(GetProfileString(u"ResizableState", u"LayoutWindowPlacement")));
    }
}

}  // namespace
