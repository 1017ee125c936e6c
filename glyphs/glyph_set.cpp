#include "glyphs/glyph_set.h"

#include "glyphs/lcd_layout.h"

namespace glimmerset {

QString defaultGlyphName(int glyph) {
    return QStringLiteral("Character %1").arg(glyph + 1);
}

QString glyphListEntry(int glyph) {
    return QStringLiteral("%1.Char").arg(glyph + 1);
}

GlyphNames defaultGlyphNames() {
    GlyphNames names;
    for (int g = 0; g < kGlyphCount; ++g)
        names[g] = defaultGlyphName(g);
    return names;
}

std::uint8_t cgramRow(const GlyphSet &glyphs, int glyph, int row) {
    std::uint8_t bits = 0;
    for (int c = 0; c < lcd::kGlyphColumns; ++c)
        if (glyphs.isLit(row, c, glyph))
            bits |= lcd::glyphRowBit(c);
    return bits;
}

} // namespace glimmerset
