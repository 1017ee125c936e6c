#pragma once

#include "glyphs/glyph_set.h"

#include <QString>

#include <array>

namespace glimmerset {

enum class IdentifierStyle {
    Constant, // GLYPH_SMILEY_FACE, for a C enum
    Camel,    // glyphSmileyFace, for a sketch
};

// One identifier a glyph, made of the ASCII letters and digits of its name
// behind a prefix that no C or Arduino header defines; a name that gives no
// letter, the same identifier as an earlier glyph, or one the form itself
// declares (glyphTable) gets GLYPH_n or glyphN.
std::array<QString, kGlyphCount> glyphIdentifiers(const GlyphNames &names, IdentifierStyle style);

// The comment line that names glyph g in the C forms: // 0 "Arrow". The
// quote behind the name keeps a backslash in it from joining the next line.
QString cNameComment(int glyph, const QString &name);

} // namespace glimmerset
