#pragma once

// How an HD44780 module lays out its memory and its glass, by the
// datasheet; plain C++ so that anything drawing or judging a display uses
// the same numbers.

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace glimmerset::lcd {

// The module's bus: data lines D0..D7, then RS, RW and E, by their bit in
// a mask of lines.
enum Line { D0, D1, D2, D3, D4, D5, D6, D7, RS, RW, E, kLineCount };
inline constexpr const char *kLineNames[kLineCount] = {"d0", "d1", "d2", "d3", "d4", "d5",
                                                       "d6", "d7", "rs", "rw", "e"};
constexpr unsigned lineBit(int line) {
    return 1u << line;
}
inline constexpr unsigned kDataLines = 0xFF;
inline constexpr unsigned kHighDataLines = 0xF0;

// A glyph row byte: bit 4 is the leftmost dot (column 0), bit 0 the
// rightmost; bits 5 to 7 are not shown.
inline constexpr int kGlyphColumns = 5;
inline constexpr int kGlyphRows = 8;
constexpr std::uint8_t glyphRowBit(int column) {
    return static_cast<std::uint8_t>(0x10 >> column);
}

// CGRAM in the 5x8 font: eight glyphs of eight row bytes, glyph g's row r
// at address 8g + r. The address counter has six bits, so it wraps from
// the last row of glyph 7 to the first of glyph 0.
inline constexpr int kCgramGlyphs = 8;
inline constexpr int kCgramSize = kCgramGlyphs * kGlyphRows;
inline constexpr unsigned kCgramAddressMask = kCgramSize - 1;
static_assert(kCgramAddressMask == 0x3F);
constexpr int cgramAddress(int glyph, int row) {
    return kGlyphRows * glyph + row;
}

// DDRAM holds 80 characters. In the two-line mode that every multi-line
// module runs in, addresses 0x00..0x27 are cells 0..39 and 0x40..0x67 are
// cells 40..79; in the one-line mode 0x00..0x4F are cells 0..79.
inline constexpr int kDdramSize = 80;
inline constexpr int kDdramLineLength = 40;
constexpr int ddramCell(std::uint8_t address, bool twoLine) {
    if (!twoLine)
        return address % kDdramSize;
    return (address & 0x40 ? kDdramLineLength : 0) + (address & 0x3F) % kDdramLineLength;
}

// A module: its characters per line, its lines, and the DDRAM address
// where each line starts (two-line mode).
struct Geometry {
    int columns = 16;
    int lines = 2;
    std::array<std::uint8_t, 4> lineStart{0x00, 0x40, 0x00, 0x00};

    std::string name() const { return std::to_string(columns) + "x" + std::to_string(lines); }
    bool operator==(const Geometry &) const = default;
};

inline constexpr Geometry kGeometries[] = {
    {8, 1, {0x00}},        {16, 1, {0x00}},
    {16, 2, {0x00, 0x40}}, {16, 4, {0x00, 0x40, 0x10, 0x50}},
    {20, 2, {0x00, 0x40}}, {20, 4, {0x00, 0x40, 0x14, 0x54}},
    {40, 2, {0x00, 0x40}},
};
inline constexpr Geometry kDefaultGeometry = kGeometries[2];
inline constexpr char kGeometryHelp[] = "8x1, 16x1, 16x2, 16x4, 20x2, 20x4 or 40x2";

// "16x2" and the like, spelled exactly (X for x will do); nothing for a
// module not in the table. Never read as numbers: those wrap round.
inline std::optional<Geometry> parseGeometry(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        if (c == 'X')
            c = 'x';
    for (const Geometry &geometry : kGeometries)
        if (geometry.name() == lower)
            return geometry;
    return std::nullopt;
}

// The DDRAM cell shown at a line and column of the module.
constexpr int shownCell(const Geometry &geometry, int line, int column) {
    return ddramCell(static_cast<std::uint8_t>(geometry.lineStart[line] + column),
                     geometry.lines > 1);
}

} // namespace glimmerset::lcd
