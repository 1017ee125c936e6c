#pragma once

#include "glyphs/glyph_set.h"

#include <array>

class QListWidget;

namespace glimmerset {

class GlyphGrid;

// char1 ... char8: the grid of glyph g is element g.
using GlyphGrids = std::array<GlyphGrid *, kGlyphCount>;

// A click's work: the current cell goes dark if it is exactly lit, else lit.
void toggle_current_cell(GlyphGrid &grid);

// Every pixel from its cell: 1 exactly where the cell is PIXEL_ON_COLOR.
// Leaves each grid's current cell at row 7, column 4.
void snapshot_grids(const GlyphGrids &grids, GlyphSet &glyphs);

// Every cell from its pixel: lit only where the value is exactly 1. Leaves
// each grid's current cell at row 7, column 4.
void paint_grids(const GlyphGrids &grids, const GlyphSet &glyphs);

// Clears the grid of every selected entry of box (entry g is glyph g);
// entries past the eighth are passed over.
void clear_selected(const GlyphGrids &grids, const QListWidget &box);

} // namespace glimmerset
