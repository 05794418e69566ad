// The program's resources: images by id, the check-box image list, strings and menus.
#include <gtest/gtest.h>

#include <QImage>

#include "res/MenuTemplate.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/ImageList.h"
#include "widgets/ResourceImages.h"

namespace {

TEST(Resources, ImagesHaveTheirSizes)
{
    EXPECT_EQ(LoadBitmapResource(IDB_CHECKS).size(), QSize(34, 15));
    EXPECT_EQ(LoadBitmapResource(IDB_BANNER).size(), QSize(500, 110));
    QIcon icon = LoadIconResource(IDI_QUILLON);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes().size(), 6);
    EXPECT_TRUE(LoadBitmapResource(4242).isNull());
    EXPECT_TRUE(LoadIconResource(4242).isNull());
}

TEST(Resources, CheckBoxBitmapGivesAnEmptyAndATickedBoxWithWhiteSeeThrough)
{
    CImageList checks;
    ASSERT_TRUE(checks.Create(LoadBitmapResource(IDB_CHECKS), 17, 5, Qt::white));
    ASSERT_EQ(checks.GetImageCount(), 2);
    EXPECT_EQ(checks.ImageSize(), QSize(17, 15));

    QImage empty = checks.Icon(0).pixmap(QSize(17, 15)).toImage().convertToFormat(QImage::Format_ARGB32);
    QImage ticked = checks.Icon(1).pixmap(QSize(17, 15)).toImage().convertToFormat(QImage::Format_ARGB32);
    // A black 13 x 13 outline, see-through inside and outside.
    EXPECT_EQ(empty.pixel(2, 1), qRgba(0, 0, 0, 255));
    EXPECT_EQ(empty.pixel(14, 13), qRgba(0, 0, 0, 255));
    EXPECT_EQ(qAlpha(empty.pixel(8, 7)), 0);
    EXPECT_EQ(qAlpha(empty.pixel(0, 0)), 0);
    EXPECT_EQ(ticked.pixel(2, 1), qRgba(0, 0, 0, 255));
    int green = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 17; ++x) {
            green += ticked.pixel(x, y) == qRgba(0, 128, 0, 255) ? 1 : 0;
            EXPECT_NE(empty.pixel(x, y), qRgba(0, 128, 0, 255));
        }
    }
    EXPECT_GT(green, 10);
    EXPECT_TRUE(checks.Icon(2).isNull());
}

TEST(Resources, StatusPaneTemplatesCarryTheirTrailingBlanks)
{
    auto blanks = [](std::u16string_view text) { return text.size() - text.find_last_not_of(u' ') - 1; };
    EXPECT_EQ(LoadStringResource(IDS_ABOUTBOX), u"&About Quillon...");
    EXPECT_EQ(LoadStringResource(IDS_STATUS_FILES).substr(0, 6), u"Files:");
    EXPECT_EQ(blanks(LoadStringResource(IDS_STATUS_FILES)), 20u);
    EXPECT_EQ(blanks(LoadStringResource(IDS_STATUS_DUPS)), 10u);
    EXPECT_EQ(blanks(LoadStringResource(IDS_STATUS_SIZE)), 14u);
    EXPECT_EQ(blanks(LoadStringResource(IDS_STATUS_ELAPSED)), 24u);
    EXPECT_EQ(LoadStringResource(IDS_STATUS_ELAPSED).substr(0, 13), u"Elapsed Time:");
    EXPECT_TRUE(LoadStringResource(4242).empty());
}

TEST(Resources, SelectMenuOffersNewerAndOlder)
{
    const MenuTemplate* menu = FindMenuTemplate(IDR_MENU_SELECT);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->items.size(), 2u);
    EXPECT_EQ(menu->items[0].command, ID_SELECT_NEWER);
    EXPECT_EQ(menu->items[0].text, u"Newer");
    EXPECT_EQ(menu->items[1].command, ID_SELECT_OLDER);
    EXPECT_EQ(menu->items[1].text, u"Older");
    EXPECT_EQ(FindMenuTemplate(4242), nullptr);
}

}  // namespace
