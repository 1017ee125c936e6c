#pragma once

#include "glyphs/lcd_layout.h"

#include <QString>

#include <array>
#include <cstdint>

namespace glimmerset {

// The glyphs are the controller's eight CGRAM characters.
inline constexpr int kGlyphCount = lcd::kCgramGlyphs;
inline constexpr int kPixelCount = kGlyphCount * lcd::kGlyphRows * lcd::kGlyphColumns;

// The names a glyph carries before the user renames it, and its entry in the
// "Clear Selected" list: glyph 0 is "Character 1" and "1.Char".
QString defaultGlyphName(int glyph);
QString glyphListEntry(int glyph);

// All eight glyphs as the emitter and the glyph file see them. Load may store
// any 16-bit value; only exactly 1 counts as lit.
class GlyphSet {
public:
    std::int16_t pixel(int row, int column, int glyph) const {
        return values_[index(row, column, glyph)];
    }
    void setPixel(int row, int column, int glyph, std::int16_t value) {
        values_[index(row, column, glyph)] = value;
    }
    bool isLit(int row, int column, int glyph) const { return pixel(row, column, glyph) == 1; }

    // Element r + 8c + 40g, row varying fastest.
    static constexpr int index(int row, int column, int glyph) {
        return row + lcd::kGlyphRows * column + lcd::kGlyphRows * lcd::kGlyphColumns * glyph;
    }
    const std::array<std::int16_t, kPixelCount> &values() const { return values_; }

    friend bool operator==(const GlyphSet &, const GlyphSet &) = default;

private:
    std::array<std::int16_t, kPixelCount> values_{};
};

// A glyph's row as the controller's CGRAM holds it.
std::uint8_t cgramRow(const GlyphSet &glyphs, int glyph, int row);

using GlyphNames = std::array<QString, kGlyphCount>;

GlyphNames defaultGlyphNames();

} // namespace glimmerset
