// The About box: its controls where the template puts them, its texts, and how it closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "res/DialogTemplate.h"
#include "res/ResourceIds.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/AboutDlg.h"
#include "widgets/ControlId.h"
#include "widgets/DialogTemplateBuilder.h"

namespace {

QString TextOf(const QWidget* widget)
{
    return widget ? widget->property("text").toString() : QString();
}

TEST(AboutDlg, ControlsSitAtTheTemplatePositionsWithTheirTexts)
{
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quillon"));
    const DialogTemplate* dialogTemplate = FindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(dialogTemplate, nullptr);
    const std::vector<QWidget*>& controls = about.TemplateControls();
    ASSERT_EQ(controls.size(), dialogTemplate->controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        const DialogControlTemplate& row = dialogTemplate->controls[i];
        SCOPED_TRACE(QString::fromStdU16String(std::u16string(row.text)).toStdString());
        EXPECT_EQ(GetDlgCtrlID(controls[i]), row.id);
        const QRect placed = CDialogTemplateBuilder::MapDialogRect(row.x, row.y, row.cx, row.cy, about.GetBaseUnits());
        if (row.id == IDC_HYPERLINK) {
            EXPECT_EQ(controls[i]->geometry().topLeft(), placed.topLeft());  // fitted to its text
        } else {
            EXPECT_EQ(controls[i]->geometry(), placed);
        }
        if (row.kind == ControlKind::Static && row.id != IDC_HYPERLINK) {
            EXPECT_EQ(TextOf(controls[i]).toStdU16String(), row.text);
        }
    }

    EXPECT_EQ(about.GetDlgItem(IDC_HYPERLINK), &about.m_link);
    EXPECT_EQ(about.m_link.text(), QStringLiteral("https://www.velvane.example/quillon/"));
    EXPECT_EQ(about.m_link.m_strTarget, about.m_link.text());
    EXPECT_EQ(TextOf(about.GetDlgItem(IDC_EDIT_VERSION)), QStringLiteral("1.10"));
    const QString built = TextOf(about.GetDlgItem(IDC_EDIT_BUILD_TIME));
    EXPECT_EQ(built.toStdString(), CAboutDlg::BuildTimeText());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(Sun|Mon|Tue|Wed|Thu|Fri|Sat) [A-Z][a-z]{2} [ 1-3][0-9] "
                                                  "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}$"))
                    .match(built)
                    .hasMatch())
        << built.toStdString();
    EXPECT_TRUE(qobject_cast<QLineEdit*>(about.GetDlgItem(IDC_EDIT_VERSION))->isReadOnly());

    // The whole banner shows, however wide the box is at this font.
    auto* banner = qobject_cast<QLabel*>(controls[4]);
    ASSERT_NE(banner, nullptr);
    EXPECT_LE(banner->pixmap().width(), banner->width());
    EXPECT_LE(banner->pixmap().height(), banner->height());
    EXPECT_GE(banner->pixmap().width(), std::min(500, banner->width()) - 1);
}

TEST(AboutDlg, BuildTimeTakesTheCompilersDateAndTimeWithItsWeekday)
{
    EXPECT_EQ(CAboutDlg::FormatBuildTime("Oct 26 2020", "16:42:20"), "Mon Oct 26 16:42:20 2020");
    EXPECT_EQ(CAboutDlg::FormatBuildTime("Jan  1 2000", "00:00:00"), "Sat Jan  1 00:00:00 2000");
    EXPECT_EQ(CAboutDlg::FormatBuildTime("Feb 29 2024", "23:59:59"), "Thu Feb 29 23:59:59 2024");
    EXPECT_EQ(CAboutDlg::FormatBuildTime("Dec 31 1969", "12:00:00"), "Wed Dec 31 12:00:00 1969");
    EXPECT_EQ(CAboutDlg::FormatBuildTime("Foo 26 2020", "16:42:20"), "");
    EXPECT_EQ(CAboutDlg::FormatBuildTime("Oct 26 2020", "16:42"), "");
}

TEST(AboutDlg, OkAndEscCloseTheBox)
{
    struct Case {
        const char* how;
        int result;
    };
    for (const Case& c : {Case{"OK", IDOK}, Case{"Esc", IDCANCEL}}) {
        SCOPED_TRACE(c.how);
        CAboutDlg about;
        bool sawBox = false;
        QTimer::singleShot(0, [&] {
            sawBox = QApplication::activeModalWidget() == &about;
            if (c.result == IDOK)
                qobject_cast<QPushButton*>(about.GetDlgItem(IDOK))->click();
            else
                QTest::keyClick(&about, Qt::Key_Escape);
        });
        EXPECT_EQ(about.DoModal(), c.result);
        EXPECT_TRUE(sawBox);
    }
}

}  // namespace
