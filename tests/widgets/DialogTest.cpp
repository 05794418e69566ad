// The dialog base: creation from a template, data exchange, member controls, and how Enter, Esc
// and the window's close button end a dialog.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "res/ResourceIds.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/DataExchange.h"
#include "widgets/Dialog.h"

namespace {

class ProbeLabel : public QLabel {
public:
    void PreSubclassWindow() { ++preSubclassCalls; }
    int preSubclassCalls = 0;
};

class PatternDialog : public CDialog {
public:
    PatternDialog() : CDialog(IDD_WILDCARD_SELECT) {}

    QString m_strPattern;
    ProbeLabel m_line;
    int closeCalls = 0;
    int destroyCalls = 0;

    QLineEdit* Edit() const { return qobject_cast<QLineEdit*>(GetDlgItem(IDC_EDIT_PATTERN)); }
    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(GetDlgItem(id)); }

protected:
    void DoDataExchange(CDataExchange& dx) override
    {
        DDX_Text(dx, IDC_EDIT_PATTERN, m_strPattern);
        DDX_Control(dx, IDC_PATTERN_LINE, m_line);
    }
    void OnClose() override
    {
        ++closeCalls;
        CDialog::OnClose();
    }
    void OnDestroy() override { ++destroyCalls; }
};

void ShowActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

TEST(Dialog, FirstExchangeWritesTheMembersIntoTheControls)
{
    PatternDialog dialog;
    dialog.m_strPattern = QStringLiteral("*.jpg");
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("*.jpg"));
    EXPECT_FALSE(dialog.Create()) << "a window is created once";
}

TEST(Dialog, ReadingExchangeTakesTheControlTextIntoTheMember)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.Edit()->setText(QStringLiteral("a?c"));
    EXPECT_TRUE(dialog.m_strPattern.isEmpty());
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.m_strPattern, QStringLiteral("a?c"));
}

TEST(Dialog, BoundMemberTakesTheTemplateControlsPlaceAndIsPreparedOnce)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    QRect expected = CDialogTemplateBuilder::MapDialogRect(13, 26, 208, 1, dialog.GetBaseUnits());
    EXPECT_EQ(dialog.GetDlgItem(IDC_PATTERN_LINE), &dialog.m_line);
    EXPECT_EQ(dialog.m_line.parentWidget(), &dialog);
    EXPECT_EQ(dialog.m_line.geometry(), expected);
    EXPECT_EQ(dialog.m_line.preSubclassCalls, 1);
    dialog.UpdateData(false);
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.m_line.preSubclassCalls, 1);
    // Exactly one widget of the dialog has the id.
    int withId = 0;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        withId += child->property("quillonControlId").toInt() == IDC_PATTERN_LINE ? 1 : 0;
    EXPECT_EQ(withId, 1);
}

TEST(Dialog, InitialFocusIsOnTheFirstTabStop)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowActive(dialog);
    EXPECT_EQ(dialog.focusWidget(), dialog.Edit());
}

TEST(Dialog, EnterInAnEditEndsLikeOkAfterReadingTheControls)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowActive(dialog);
    QTest::keyClicks(dialog.Edit(), QStringLiteral("*.tmp"));
    QTest::keyClick(dialog.Edit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.m_strPattern, QStringLiteral("*.tmp"));
    EXPECT_EQ(dialog.closeCalls, 0);
}

TEST(Dialog, EnterOnAFocusedPushButtonPressesThatButton)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowActive(dialog);
    dialog.Button(IDCANCEL)->setFocus();
    QTest::keyClick(dialog.Button(IDCANCEL), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(Dialog, EscEndsLikeCancelWithoutTheCloseHandler)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowActive(dialog);
    dialog.m_strPattern = QStringLiteral("kept");
    QTest::keyClick(dialog.Edit(), Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.closeCalls, 0);
    EXPECT_EQ(dialog.m_strPattern, QStringLiteral("kept"));
}

TEST(Dialog, TheWindowsCloseButtonGoesThroughTheCloseHandler)
{
    PatternDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowActive(dialog);
    dialog.close();
    EXPECT_EQ(dialog.closeCalls, 1);
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(Dialog, DoModalReturnsTheResultAndEndsTheWindowOnce)
{
    PatternDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.Button(IDOK)->click(); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.destroyCalls, 1);
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.destroyCalls, 1);
}

TEST(Dialog, NotificationsReachTheOneHandlerRoutedForTheirControlAndCode)
{
    PatternDialog dialog;
    std::vector<std::string> handled;
    dialog.RouteNotify(IDOK, BN_CLICKED, [&](const CNotify&) { handled.push_back("ok"); });
    dialog.RouteNotify(IDC_PATTERN_LINE, NM_CLICK, [&](const CNotify& info) {
        handled.push_back("line " + std::to_string(info.row) + "," + std::to_string(info.column));
        // A handler may replace its own route while it runs.
        dialog.RouteNotify(IDC_PATTERN_LINE, NM_CLICK, [&](const CNotify&) { handled.push_back("replaced"); });
    });
    dialog.RouteMessage(0x8007, [&] { handled.push_back("done"); });
    ASSERT_TRUE(dialog.Create());
    ShowActive(dialog);

    QTest::mouseClick(dialog.Button(IDOK), Qt::LeftButton);  // routed instead of ending the dialog
    CNotify info;
    info.row = 3;
    info.column = 1;
    EXPECT_TRUE(CDialog::NotifyParent(&dialog.m_line, NM_CLICK, info));
    EXPECT_TRUE(CDialog::NotifyParent(&dialog.m_line, NM_CLICK));
    EXPECT_FALSE(CDialog::NotifyParent(&dialog.m_line, LVN_COLUMNCLICK)) << "no route for that code";
    EXPECT_FALSE(dialog.SendNotify(IDCANCEL + 100, BN_CLICKED));
    EXPECT_TRUE(dialog.SendDialogMessage(0x8007));
    EXPECT_FALSE(dialog.SendDialogMessage(0x8006));
    QWidget orphan;
    EXPECT_FALSE(CDialog::NotifyParent(&orphan, BN_CLICKED)) << "a control outside any dialog";
    EXPECT_EQ(handled, (std::vector<std::string>{"ok", "line 3,1", "replaced", "done"}));
    EXPECT_TRUE(dialog.isVisible());
}

TEST(Dialog, MissingTemplateFailsWithoutAWindow)
{
    CDialog dialog(4242);
    EXPECT_FALSE(dialog.Create());
    EXPECT_EQ(dialog.DoModal(), -1);
}

}  // namespace
