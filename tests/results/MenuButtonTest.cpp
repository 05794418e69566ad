// The menu button: what reaches the dialog after a drop-down (picked, dismissed, no menu), the
// keyboard, the hot look, and the classic drawing checked pixel by pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <functional>

#include "res/ResourceIds.h"
#include "results/MenuButton.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/ControlId.h"
#include "widgets/Dialog.h"
#include "widgets/ThemeAccess.h"

namespace {

// Runs `step` on the popup menu once one is open.
void WhenMenuOpens(std::function<void(QMenu*)> step)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, step] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            poll->stop();
            poll->deleteLater();
            step(menu);
        }
    });
    poll->start(5);
}

struct ButtonFixture {
    CDialog dialog{IDD_WILDCARD_SELECT};
    CMenuButton button;
    int picks = 0;
    std::vector<uint32_t> pickedIds;

    ButtonFixture()
    {
        EXPECT_TRUE(dialog.Create());
        button.setParent(&dialog);
        button.setText(QStringLiteral("Select"));
        button.setGeometry(20, 20, 100, 26);
        SetDlgCtrlID(&button, IDC_BUTTON_SELECT);
        dialog.RouteNotify(IDC_BUTTON_SELECT, MBN_PICKED, [this](const CNotify&) {
            ++picks;
            pickedIds.push_back(button.m_nPicked);
        });
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
};

TEST(MenuButton, APickADismissalAndAButtonWithoutMenuAllReachTheDialog)
{
    ButtonFixture f;
    f.button.m_nPicked = 7;
    f.button.click();  // no menu yet: the previous pick stays
    EXPECT_EQ(f.pickedIds, std::vector<uint32_t>{7});

    f.button.LoadMenuResource(IDR_MENU_SELECT);
    EXPECT_EQ(f.button.m_nMenuId, IDR_MENU_SELECT);
    QPoint openedAt;
    WhenMenuOpens([&](QMenu* menu) {
        openedAt = menu->pos();
        menu->setActiveAction(menu->actions().at(1));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    f.button.click();
    EXPECT_EQ(openedAt, f.button.mapToGlobal(QPoint(f.button.width(), 0)));

    WhenMenuOpens([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
    f.button.click();
    EXPECT_EQ(f.pickedIds, (std::vector<uint32_t>{7, ID_SELECT_OLDER, 0}));
}

TEST(MenuButton, SpaceAndEnterOnTheFocusedButtonDropTheMenu)
{
    ButtonFixture f;
    f.button.LoadMenuResource(IDR_MENU_SELECT);
    f.button.setFocus();
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        WhenMenuOpens([](QMenu* menu) {
            menu->setActiveAction(menu->actions().at(0));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(&f.button, key);
    }
    EXPECT_EQ(f.pickedIds, (std::vector<uint32_t>{ID_SELECT_NEWER, ID_SELECT_NEWER, ID_SELECT_NEWER}));
}

TEST(MenuButton, SetMenuReplacesTheHeldMenuAndForgetsThePosition)
{
    CMenuButton button;
    button.LoadMenuResource(IDR_MENU_SELECT);
    QPointer<QMenu> first = const_cast<QMenu*>(button.GetMenu());
    button.m_nSelectedPos = 1;
    auto bar = std::make_unique<QMenu>();
    bar->addMenu(QStringLiteral("xxx"))->addAction(QStringLiteral("/a [1]"))->setData(1u);
    button.SetMenu(std::move(bar));
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(button.m_nSelectedPos, -1);
    ASSERT_NE(button.GetPopup(), nullptr);
    EXPECT_EQ(button.GetPopup()->actions().at(0)->text(), QStringLiteral("/a [1]"));

    // A maker runs once, when the menu is first needed, and a menu given after it wins.
    int made = 0;
    auto maker = [&made]() {
        ++made;
        auto menu = std::make_unique<QMenu>();
        menu->addMenu(QStringLiteral("xxx"))->addAction(QStringLiteral("/b [2]"))->setData(1u);
        return menu;
    };
    button.SetMenu(maker);
    EXPECT_EQ(made, 0);
    ASSERT_NE(button.GetPopup(), nullptr);
    EXPECT_EQ(button.GetPopup()->actions().at(0)->text(), QStringLiteral("/b [2]"));
    EXPECT_EQ(made, 1);
    button.SetMenu(maker);
    button.LoadMenuResource(IDR_MENU_SELECT);
    EXPECT_EQ(button.GetPopup()->actions().size(), 2);
    EXPECT_EQ(made, 1);
}

TEST(MenuButton, HotLookEndsAfterTheCursorLeavesWithoutAnotherMouseMessage)
{
    ButtonFixture f;
    const QPoint inside = f.button.mapToGlobal(f.button.rect().center());
    QCursor::setPos(inside);
    QTest::mouseMove(&f.button, f.button.rect().center());
    QTRY_VERIFY(f.button.IsHot());
    QCursor::setPos(f.button.mapToGlobal(QPoint(-200, -200)));
    QTRY_VERIFY(!f.button.IsHot());
}

// Classic drawing into an image, text without antialiasing so that colours are exact.
QImage DrawClassic(CMenuButton& button, uint32_t state)
{
    QImage image(button.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    button.DrawItem(painter, button.rect(), state);
    return image;
}

TEST(MenuButton, ClassicLookDrawsTheArrowTheEmbossedDisabledCaptionAndTheFocus)
{
    quillon::test::ClassicStyleScope classic;
    const int32_t themed = g_themeActive;
    g_themeActive = 0;
    CMenuButton button;
    QFont font = button.font();
    font.setStyleStrategy(QFont::NoAntialias);
    button.setFont(font);
    button.resize(100, 26);
    button.setText(QStringLiteral("Select"));
    const QPalette& palette = button.palette();
    const QRgb face = palette.color(QPalette::Button).rgb();
    const QRgb light = palette.color(QPalette::Light).rgb();
    const QRgb dark = palette.color(QPalette::Dark).rgb();
    const QRgb text = palette.color(QPalette::ButtonText).rgb();
    const QRgb grey = palette.color(QPalette::Disabled, QPalette::Text).rgb();

    // The arrow's triangle: columns of 9, 7, 5, 3, 1 pixels at x0 = right - 11, y0 = mid - 4.
    auto arrowAt = [](const QImage& image, int x0, int y0, QRgb colour) {
        for (int k = 0; k < 5; ++k) {
            for (int y = y0 - 1; y <= y0 + 9; ++y) {
                const bool inside = y >= y0 + k && y < y0 + 9 - k;
                if ((image.pixel(x0 + k, y) == colour) != inside)
                    return false;
            }
        }
        return image.pixel(x0 + 5, y0 + 4) != colour && image.pixel(x0 - 1, y0 + 4) != colour;
    };
    const QImage enabled = DrawClassic(button, 0);
    EXPECT_TRUE(arrowAt(enabled, 89, 9, text));
    EXPECT_EQ(enabled.pixel(0, 0), light);  // the raised frame
    EXPECT_EQ(enabled.pixel(98, 24), dark);

    const QImage disabled = DrawClassic(button, CMenuButton::ODS_DISABLED);
    EXPECT_TRUE(arrowAt(disabled, 89, 9, grey));
    // The caption: a shadow-coloured text with a highlight copy one pixel right and down.
    int shadowPixels = 0;
    int lightPixels = 0;
    for (int y = 3; y < 23; ++y) {
        for (int x = 3; x < 85; ++x) {
            if (disabled.pixel(x, y) == dark) {
                ++shadowPixels;
                const QRgb below = disabled.pixel(x + 1, y + 1);
                EXPECT_TRUE(below == light || below == dark) << x << "," << y;
            }
            lightPixels += disabled.pixel(x, y) == light;
            EXPECT_NE(enabled.pixel(x, y), light);
        }
    }
    EXPECT_GT(shadowPixels, 10);
    EXPECT_GT(lightPixels, 5);

    const QImage focused = DrawClassic(button, CMenuButton::ODS_FOCUS);
    EXPECT_EQ(focused.pixel(0, 0), qRgb(0, 0, 0));  // the black frame of the focused button
    EXPECT_EQ(focused.pixel(99, 25), qRgb(0, 0, 0));
    EXPECT_EQ(focused.pixel(3, 3), text);  // the dotted focus rectangle
    EXPECT_EQ(focused.pixel(4, 3), face);
    EXPECT_TRUE(arrowAt(focused, 88, 9, text));  // measured inside the black frame

    button.setText(QString());
    const QImage empty = DrawClassic(button, 0);
    EXPECT_TRUE(arrowAt(empty, 48, 9, text));  // centred without a caption
    g_themeActive = themed;
}

TEST(MenuButton, ThemedDisabledLookWinsOverHotAndFocused)
{
    const int32_t themed = g_themeActive;
    g_themeActive = 1;
    ButtonFixture f;
    f.button.setEnabled(false);
    const QImage plain = DrawClassic(f.button, CMenuButton::ODS_DISABLED);
    const QImage focused =
        DrawClassic(f.button, CMenuButton::ODS_DISABLED | CMenuButton::ODS_NOFOCUSRECT | CMenuButton::ODS_FOCUS);
    EXPECT_EQ(plain, focused);
    const QImage pressed = DrawClassic(f.button, CMenuButton::ODS_SELECTED);
    EXPECT_NE(plain, pressed);
    g_themeActive = themed;
}

}  // namespace
