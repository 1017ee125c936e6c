#include "window_fixture.h"

#include "app/glyph_editing.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace glimmerset::test {
namespace {

using GridClicks = WindowTest;

TEST_F(GridClicks, EachClickTogglesTheClickedCellOnly) {
    GlyphGrid &g = *grid(2);
    clickCell(2, 3, 1);
    EXPECT_EQ(g.row(), 3);
    EXPECT_EQ(g.col(), 1);
    EXPECT_EQ(g.cellBackColor(), PIXEL_ON_COLOR);
    clickCell(2, 3, 1);
    EXPECT_EQ(g.cellBackColor(), PIXEL_OFF_COLOR);
    clickCell(2, 3, 1);
    EXPECT_EQ(g.cellBackColor(), PIXEL_ON_COLOR);

    for (int glyph = 0; glyph < kGlyphCount; ++glyph)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                if (glyph != 2 || r != 3 || c != 1) {
                    EXPECT_FALSE(cellColor(*grid(glyph), r, c).has_value()) << glyph << r << c;
                }
    // The click is no snapshot.
    EXPECT_EQ(window->glyphSet(), GlyphSet{});
}

TEST_F(GridClicks, OnlyTheExactOnColourCountsAsLit) {
    GlyphGrid &g = *grid(0);
    g.setRow(1);
    g.setCol(1);
    g.setCellBackColor(PIXEL_ON_COLOR + 1);
    clickCell(0, 1, 1);
    EXPECT_EQ(g.cellBackColor(), PIXEL_ON_COLOR);

    g.setRow(2);
    g.setCol(2);
    g.setCellBackColor(PIXEL_ON_COLOR - 1);
    GlyphSet glyphs;
    snapshot_grids({grid(0), grid(1), grid(2), grid(3), grid(4), grid(5), grid(6), grid(7)},
                   glyphs);
    EXPECT_EQ(glyphs.pixel(1, 1, 0), 1);
    EXPECT_EQ(glyphs.pixel(2, 2, 0), 0);
}

TEST_F(GridClicks, ArrowKeysMoveTheCurrentCellAndLightNothing) {
    GlyphGrid &g = *grid(4);
    clickCell(4, 0, 0); // lit, and current
    QTest::keyClick(&g, Qt::Key_Down);
    QTest::keyClick(&g, Qt::Key_Right);
    QTest::keyClick(&g, Qt::Key_Right);
    EXPECT_EQ(g.row(), 1);
    EXPECT_EQ(g.col(), 2);
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(&g, Qt::Key_Down);
        QTest::keyClick(&g, Qt::Key_Right);
    }
    EXPECT_EQ(g.row(), 7);
    EXPECT_EQ(g.col(), 4);
    QTest::keyClick(&g, Qt::Key_Space);
    QTest::keyClick(&g, Qt::Key_Return);
    for (int r = 0; r < lcd::kGlyphRows; ++r)
        for (int c = 0; c < lcd::kGlyphColumns; ++c)
            EXPECT_EQ(isLit(g, r, c), r == 0 && c == 0) << r << c;
}

// However the grid got the focus, the current cell shows its outline.
TEST_F(GridClicks, TheCurrentCellIsOutlinedWheneverTheGridHasTheFocus) {
    GlyphGrid &g = *grid(3);
    const QRect cell = g.cellRect(2, 1);
    const std::pair<const char *, std::function<void()>> ways[] = {
        // Twice, so the cell's colour is as before.
        {"mouse click", [&] { clickCell(3, 2, 1), clickCell(3, 2, 1); }},
        {"set by the program", [&] { g.setFocus(Qt::OtherFocusReason); }},
    };
    clickCell(3, 2, 1); // current from now on
    for (const auto &[how, giveFocus] : ways) {
        SCOPED_TRACE(how);
        g.clearFocus();
        const QImage unfocused = g.grab(cell).toImage();
        giveFocus();
        ASSERT_TRUE(g.hasFocus());
        const QImage focused = g.grab(cell).toImage();
        EXPECT_NE(focused, unfocused);
        // Inside the cell's own one-pixel rim.
        EXPECT_EQ(focused.pixelColor(1, 1), toQColor(GlyphGrid::kCurrentCellColor));
    }
}

TEST_F(GridClicks, ADragTogglesThePressedCellAlone) {
    GlyphGrid &g = *grid(1);
    QTest::mousePress(&g, Qt::LeftButton, {}, g.cellRect(0, 0).center());
    QTest::mouseMove(&g, g.cellRect(4, 3).center());
    QTest::mouseRelease(&g, Qt::LeftButton, {}, g.cellRect(4, 3).center());
    EXPECT_TRUE(isLit(g, 0, 0));
    EXPECT_FALSE(isLit(g, 4, 3));
    EXPECT_EQ(g.row(), 0);
    EXPECT_EQ(g.col(), 0);

    // Let go outside the grid: no click at all.
    QTest::mousePress(&g, Qt::LeftButton, {}, g.cellRect(5, 1).center());
    QTest::mouseRelease(&g, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_FALSE(isLit(g, 5, 1));
}

TEST_F(GridClicks, ClicksBesideTheCellsOrWithOtherButtonsAreNoClicks) {
    GlyphGrid &g = *grid(0);
    QSignalSpy clicks(&g, &GlyphGrid::clicked);
    clickCell(0, 6, 3);
    const QRect lastCell = g.cellRect(7, 4);
    // The strip right of the cells and the band below them belong to no cell.
    QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(lastCell.right() + 5, lastCell.center().y()));
    QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(lastCell.center().x(), lastCell.bottom() + 3));
    QTest::mouseClick(&g, Qt::RightButton, {}, g.cellRect(2, 2).center());
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(isLit(g, 6, 3));
    EXPECT_FALSE(isLit(g, 2, 2));
    EXPECT_EQ(g.row(), 6);
    EXPECT_EQ(g.col(), 3);
}

TEST(GlyphGrid, EveryCellFitsInsideTheWidgetAtTheStartupWidths) {
    GlyphGrid g;
    g.resize(1455 / 15, 2055 / 15);
    const QRect last = g.cellRect(7, 4);
    EXPECT_LT(last.right(), g.width() - 2);
    EXPECT_LT(last.bottom(), g.height() - 2);
    EXPECT_EQ(g.cellRect(0, 0).height() + 1, 16); // 240 twips a row, line included
    // Five columns of 250 twips come to 1250 twips, 83 pixels.
    EXPECT_EQ(last.right() + 2 - g.cellRect(0, 0).left(), 83);
    for (int r = 0; r < lcd::kGlyphRows; ++r)
        for (int c = 0; c < lcd::kGlyphColumns; ++c)
            EXPECT_EQ(g.cellAt(g.cellRect(r, c).center()), (std::pair{r, c}));
}

TEST(GlyphGrid, ClearDropsColoursButKeepsTheCurrentCellAndWidths) {
    GlyphGrid g;
    g.setColWidth(2, 300);
    g.setRow(3);
    g.setCol(2);
    g.setCellBackColor(PIXEL_ON_COLOR);
    g.clear();
    EXPECT_EQ(g.row(), 3);
    EXPECT_EQ(g.col(), 2);
    EXPECT_FALSE(g.cellBackColor().has_value());
    EXPECT_EQ(g.colWidth(2), 300);
}

class GlyphEditing : public ::testing::Test {
protected:
    GlyphEditing() {
        for (int g = 0; g < kGlyphCount; ++g)
            grids[g] = &owned[g];
    }
    std::array<GlyphGrid, kGlyphCount> owned;
    GlyphGrids grids{};
};

TEST_F(GlyphEditing, SnapshotReadsEveryCellAndLeavesTheCurrentCellBottomRight) {
    GlyphSet glyphs;
    glyphs.setPixel(5, 4, 3, 7); // stale, overwritten
    snapshot_grids(grids, glyphs);
    EXPECT_EQ(glyphs, GlyphSet{});

    grids[0]->setRow(0);
    grids[0]->setCol(2);
    toggle_current_cell(*grids[0]);
    snapshot_grids(grids, glyphs);
    for (int i = 0; i < kPixelCount; ++i)
        EXPECT_EQ(glyphs.values()[i], i == 16 ? 1 : 0) << i;
    for (GlyphGrid *grid : grids) {
        EXPECT_EQ(grid->row(), 7);
        EXPECT_EQ(grid->col(), 4);
    }
}

TEST_F(GlyphEditing, PaintLightsExactlyTheOnesAndASnapshotDropsOtherValues) {
    GlyphSet glyphs;
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                glyphs.setPixel(r, c, g,
                                std::int16_t((r + c + g) % 3 == 0 ? 0 : ((r + c) % 2 ? 2 : -1)));
    glyphs.setPixel(7, 4, 7, 1);
    const GlyphSet painted = glyphs;
    paint_grids(grids, glyphs);
    EXPECT_EQ(glyphs, painted);
    for (int g = 0; g < kGlyphCount; ++g) {
        EXPECT_EQ(grids[g]->row(), 7);
        EXPECT_EQ(grids[g]->col(), 4);
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                EXPECT_EQ(cellColor(*grids[g], r, c),
                          (g == 7 && r == 7 && c == 4) ? PIXEL_ON_COLOR : PIXEL_OFF_COLOR);
    }
    snapshot_grids(grids, glyphs);
    GlyphSet expected;
    expected.setPixel(7, 4, 7, 1);
    EXPECT_EQ(glyphs, expected);
}

} // namespace
} // namespace glimmerset::test
