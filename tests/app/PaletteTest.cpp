// The window's own colours on the desktop's palette: the marks of the results list, the About
// box's link and the focus of the menu buttons read at least 4.5:1 against what they are drawn
// on, in the default palette and in a dark one. Read from the painted pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTest>

#include <functional>
#include <vector>

#include "engine/Catalogue.h"
#include "res/ResourceIds.h"
#include "tests/app/FolderDialogFixture.h"
#include "widgets/AboutDlg.h"
#include "widgets/Contrast.h"

namespace {

QPalette DarkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    dark.setColor(QPalette::Light, QColor(90, 90, 90));
    dark.setColor(QPalette::Midlight, QColor(70, 70, 70));
    dark.setColor(QPalette::Dark, QColor(35, 35, 35));
    dark.setColor(QPalette::Shadow, QColor(20, 20, 20));
    return dark;
}

// The desktop's palette for one scope.
class PaletteScope {
public:
    explicit PaletteScope(const QPalette& palette) : m_previous(QApplication::palette()) { QApplication::setPalette(palette); }
    ~PaletteScope() { QApplication::setPalette(m_previous); }

private:
    QPalette m_previous;
};

// The colour of `image` in `area` that stands out most from `background`.
QColor MostContrasting(const QImage& image, const QRect& area, const QColor& background)
{
    QColor best = background;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor colour(image.pixel(x, y));
            if (ContrastRatio(colour, background) > ContrastRatio(best, background))
                best = colour;
        }
    }
    return best;
}

// The default palette and a dark one, each with its name.
struct NamedPalette {
    const char* name;
    QPalette palette;
};
std::vector<NamedPalette> Palettes()
{
    return {{"default", QApplication::style()->standardPalette()}, {"dark", DarkPalette()}};
}

class PaletteTest : public quillon::test::FolderDialogTest {};

TEST_F(PaletteTest, MarksLinksAndFocusReadAtLeast45To1OnTheDefaultAndADarkPalette)
{
    for (const auto& p : Palettes()) {
        SCOPED_TRACE(p.name);
        PaletteScope scope(p.palette);

        // A marked and an unmarked box: the outline and the tick against the box's inside.
        ASSERT_NO_FATAL_FAILURE(Show());
        g_duplicates = {CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0}};
        Dlg().OnSearchDone();
        Dlg().Results().SetMark(0, 1, CResultsView::kMarked);
        CListControlMem& list = Dlg().ResultsList();
        const QImage rows = list.viewport()->grab().toImage();
        const QColor base = list.palette().color(QPalette::Base);
        for (int column : {0, 1}) {
            const QPoint image = list.GetSubItemIconRect(0, column).topLeft();
            // Bitmap 129's square runs from (2, 1) to (14, 13); its tick passes (7, 9).
            EXPECT_GE(ContrastRatio(QColor(rows.pixel(image + QPoint(2, 7))), base), kReadableContrast) << "outline " << column;
            EXPECT_GE(ContrastRatio(QColor(rows.pixel(image + QPoint(8, 13))), base), kReadableContrast) << "outline " << column;
            if (column == 1) {
                EXPECT_GE(ContrastRatio(QColor(rows.pixel(image + QPoint(7, 9))), base), kReadableContrast) << "tick";
            }
        }

        // The focus of a menu button, in the classic look and the themed one.
        for (bool classic : {true, false}) {
            std::optional<quillon::test::ClassicStyleScope> style;
            if (classic)
                style.emplace();
            QWidget* select = Item(IDC_BUTTON_SELECT);
            select->setPalette(QApplication::palette());
            select->setFocus();
            const QImage button = select->grab().toImage();
            const QColor face = select->palette().color(QPalette::Button);
            EXPECT_GE(ContrastRatio(QColor(button.pixel(3, 3)), face), kReadableContrast)
                << "focus rectangle, classic " << classic;
            if (classic) {
                EXPECT_GE(ContrastRatio(QColor(button.pixel(0, button.height() / 2)), face), kReadableContrast) << "focus frame";
            }
        }
        m_pDialog.reset();

        // The About box's link, before and while the cursor is over it.
        CAboutDlg about;
        ASSERT_TRUE(about.Create());
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        for (bool hover : {false, true}) {
            if (hover)
                QTest::mouseMove(&about.m_link, about.m_link.rect().center());
            const QImage link = about.m_link.grab().toImage();
            const QColor window = about.m_link.palette().color(QPalette::Window);
            EXPECT_GE(ContrastRatio(MostContrasting(link, link.rect(), window), window), kReadableContrast) << "hover " << hover;
        }
        about.DestroyWindow();
    }
}

// The current cell of the focused results list is framed in a colour that reads on its row, on
// both palettes, selected or not.
TEST_F(PaletteTest, TheCurrentCellsFocusFrameReadsOnTheDefaultAndADarkPalette)
{
    for (const auto& p : Palettes()) {
        SCOPED_TRACE(p.name);
        PaletteScope scope(p.palette);
        ASSERT_NO_FATAL_FAILURE(Show());
        g_duplicates = {CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0}, CDuplicatePair{u"/data/c", u"/data/d", 10, 0, 0}};
        Dlg().OnSearchDone();
        CListControlMem& list = Dlg().ResultsList();
        list.setFocus();
        for (bool selected : {false, true}) {
            list.selectionModel()->clearSelection();
            list.selectionModel()->setCurrentIndex(list.model()->index(1, 2),
                                                   selected ? QItemSelectionModel::Select | QItemSelectionModel::Rows
                                                            : QItemSelectionModel::NoUpdate);
            const QRect cell = list.visualRect(list.model()->index(1, 2));
            const QImage rows = list.viewport()->grab().toImage();
            const QColor inside(rows.pixel(cell.right() - 3, cell.top() + 3));
            // The frame's top edge, left of the text.
            const QColor frame(rows.pixel(cell.right() - 3, cell.top()));
            EXPECT_GE(ContrastRatio(frame, inside), 3.0) << "selected " << selected;
        }
        m_pDialog.reset();
    }
}

}  // namespace
