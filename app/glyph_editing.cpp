#include "app/glyph_editing.h"

#include "app/glyph_grid.h"

#include <QListWidget>

namespace glimmerset {

void toggle_current_cell(GlyphGrid &grid) {
    grid.setCellBackColor(grid.cellBackColor() == PIXEL_ON_COLOR ? PIXEL_OFF_COLOR
                                                                 : PIXEL_ON_COLOR);
}

namespace {

// Snapshot and paint visit the cells in the same order, moving each grid's
// current cell row first, then column; it ends at row 7, column 4.
template <typename Visit> void forEachCell(const GlyphGrids &grids, Visit visit) {
    for (int g = 0; g < kGlyphCount; ++g) {
        GlyphGrid &grid = *grids[g];
        for (int r = 0; r < lcd::kGlyphRows; ++r) {
            grid.setRow(r);
            for (int c = 0; c < lcd::kGlyphColumns; ++c) {
                grid.setCol(c);
                visit(grid, r, c, g);
            }
        }
    }
}

} // namespace

void snapshot_grids(const GlyphGrids &grids, GlyphSet &glyphs) {
    forEachCell(grids, [&](GlyphGrid &grid, int r, int c, int g) {
        glyphs.setPixel(r, c, g, grid.cellBackColor() == PIXEL_ON_COLOR ? 1 : 0);
    });
}

void paint_grids(const GlyphGrids &grids, const GlyphSet &glyphs) {
    forEachCell(grids, [&](GlyphGrid &grid, int r, int c, int g) {
        grid.setCellBackColor(glyphs.isLit(r, c, g) ? PIXEL_ON_COLOR : PIXEL_OFF_COLOR);
    });
}

void clear_selected(const GlyphGrids &grids, const QListWidget &box) {
    const int count = box.count();
    for (int i = 0; i < count; ++i)
        if (i < kGlyphCount && box.item(i)->isSelected())
            grids[i]->clear();
}

} // namespace glimmerset
