#include "glyphs/glyph_set.h"

namespace glimmerset {

QString defaultGlyphName(int glyph) { return QStringLiteral("Character %1").arg(glyph + 1); }

QString glyphListEntry(int glyph) { return QStringLiteral("%1.Char").arg(glyph + 1); }

GlyphNames defaultGlyphNames() {
    GlyphNames names;
    for (int g = 0; g < kGlyphCount; ++g)
        names[g] = defaultGlyphName(g);
    return names;
}

} // namespace glimmerset
