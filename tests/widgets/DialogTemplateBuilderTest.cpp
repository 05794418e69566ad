// Dialog templates turned into widgets: dialog units to pixels, control kinds, ids, texts, tab
// order.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "res/DialogTemplate.h"
#include "res/ResourceIds.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/ControlId.h"
#include "widgets/DialogTemplateBuilder.h"

namespace {

using Units = CDialogTemplateBuilder::BaseUnits;

QFont KnownFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    return font;
}

TEST(DialogTemplateBuilder, ConvertsEachValueWithTheBaseUnitsAndRoundsToTheNearestPixel)
{
    const Units classic{6.0, 13};
    EXPECT_EQ(CDialogTemplateBuilder::MapDialogRect(7, 23, 380, 14, classic), QRect(11, 37, 570, 23));
    EXPECT_EQ(CDialogTemplateBuilder::MapX(474, classic), 711);
    EXPECT_EQ(CDialogTemplateBuilder::MapY(384, classic), 624);
    EXPECT_EQ(CDialogTemplateBuilder::MapY(0, classic), 0);
}

TEST(DialogTemplateBuilder, BaseUnitsAreTheAverageLetterWidthAndTheLineHeight)
{
    QFont font = KnownFont();
    if (QFontInfo(font).family() != QStringLiteral("DejaVu Sans"))
        GTEST_SKIP() << "DejaVu Sans is not installed";
    Units units = CDialogTemplateBuilder::DialogBaseUnits(font);
    EXPECT_NEAR(units.cx, 385.0 / 52.0, 0.01);
    EXPECT_EQ(units.cy, 14);
}

TEST(DialogTemplateBuilder, MainTemplateInAKnownFontGivesTheseRectangles)
{
    QFont font = KnownFont();
    if (QFontInfo(font).family() != QStringLiteral("DejaVu Sans"))
        GTEST_SKIP() << "DejaVu Sans is not installed";
    QDialog dialog;
    dialog.setFont(font);
    const DialogTemplate* main = FindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(main, nullptr);
    Units units = CDialogTemplateBuilder::ApplyWindow(*main, dialog);
    auto controls = CDialogTemplateBuilder::CreateControls(*main, dialog, units);

    EXPECT_EQ(dialog.size(), QSize(877, 672));
    auto geometryOf = [&](int id) {
        for (QWidget* widget : controls) {
            if (GetDlgCtrlID(widget) == id)
                return widget->geometry();
        }
        return QRect();
    };
    EXPECT_EQ(geometryOf(IDC_EDIT_FOLDER), QRect(13, 40, 703, 25));
    EXPECT_EQ(geometryOf(IDC_LIST_RESULTS), QRect(13, 310, 852, 277));
    EXPECT_EQ(geometryOf(IDC_BUTTON_ADD), QRect(796, 40, 68, 25));
    EXPECT_EQ(geometryOf(IDC_BUTTON_SELECT), QRect(13, 621, 120, 23));
    EXPECT_EQ(geometryOf(IDC_CAPTION_SELECT), QRect(13, 600, 852, 14));
}

TEST(DialogTemplateBuilder, CreatesEveryControlOfTheMainTemplateWithItsKindTextAndId)
{
    QDialog dialog;
    const DialogTemplate* main = FindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(main, nullptr);
    Units units = CDialogTemplateBuilder::ApplyWindow(*main, dialog);
    auto controls = CDialogTemplateBuilder::CreateControls(*main, dialog, units);

    ASSERT_EQ(controls.size(), main->controls.size());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Velvane Quillon"));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    for (size_t i = 0; i < controls.size(); ++i) {
        const DialogControlTemplate& row = main->controls[i];
        QWidget* widget = controls[i];
        EXPECT_EQ(GetDlgCtrlID(widget), row.id);
        EXPECT_EQ(widget->geometry(), CDialogTemplateBuilder::MapDialogRect(row.x, row.y, row.cx, row.cy, units));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text().toStdU16String(), row.text);
            EXPECT_FALSE(button->autoDefault()) << "button " << row.id;
            EXPECT_FALSE(button->isDefault()) << "button " << row.id;
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text().toStdU16String(), row.text);
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        }
    }
}

TEST(DialogTemplateBuilder, TabOrderFollowsTheTemplateAndSkipsStatics)
{
    QDialog dialog;
    const DialogTemplate* main = FindDialogTemplate(IDD_QUILLON_DIALOG);
    Units units = CDialogTemplateBuilder::ApplyWindow(*main, dialog);
    auto controls = CDialogTemplateBuilder::CreateControls(*main, dialog, units);

    std::vector<int> expected;
    for (const DialogControlTemplate& row : main->controls) {
        if (row.id != IDC_STATIC && row.kind != ControlKind::Static)
            expected.push_back(row.id);
    }
    // Walk the focus chain once around, keeping the template's own focusable controls.
    std::vector<int> chain;
    QWidget* first = controls.front();
    QWidget* widget = first;
    do {
        if (widget->parentWidget() == &dialog && widget->focusPolicy() != Qt::NoFocus)
            chain.push_back(GetDlgCtrlID(widget));
        widget = widget->nextInFocusChain();
    } while (widget != first && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);
}

TEST(DialogTemplateBuilder, ReadOnlyEditsWithoutBorderAndAFixedSizeForModalFrames)
{
    QDialog dialog;
    const DialogTemplate* about = FindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    Units units = CDialogTemplateBuilder::ApplyWindow(*about, dialog);
    auto controls = CDialogTemplateBuilder::CreateControls(*about, dialog, units);

    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    for (QWidget* widget : controls) {
        if (GetDlgCtrlID(widget) == IDC_EDIT_VERSION) {
            auto* edit = qobject_cast<QLineEdit*>(widget);
            ASSERT_NE(edit, nullptr);
            EXPECT_TRUE(edit->isReadOnly());
            EXPECT_FALSE(edit->hasFrame());
        }
        if (GetDlgCtrlID(widget) == IDOK) {
            EXPECT_TRUE(qobject_cast<QPushButton*>(widget)->isDefault());
        }
    }
}

}  // namespace
