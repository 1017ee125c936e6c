#pragma once

#include "glyphs/glyph_set.h"

#include <QString>

namespace glimmerset {

// The "LCD_char" subroutine that writes all eight glyphs into CGRAM: 330
// lines, each ending in CR LF. Needs "mp0", "lcd_fc" and "lcd_ch" from the
// surrounding source. Each name is a comment line, written as nameForComment
// gives it.
QString character_code(const GlyphNames &names, const GlyphSet &glyphs);

} // namespace glimmerset
