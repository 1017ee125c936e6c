#pragma once

#include "glyphs/lcd_layout.h"
#include "simulation/lcd_bus_monitor.h"

#include <array>
#include <cstdint>

namespace glimmerset {

// What a module's glass shows at a moment: the codes in its window of
// DDRAM after the display shifts, the patterns of the glyphs among them,
// the cursor, nothing at all when the display is off.
struct Glass {
    static constexpr int kMaxCells = 4 * lcd::kDdramLineLength;
    static constexpr std::uint8_t kDark = 0x20; // a cell that shows nothing: blank in the ROM

    std::uint8_t columns = 0;
    std::uint8_t lines = 0;
    bool backlightOn = true;
    std::array<std::uint8_t, kMaxCells> codes{};       // line by line
    std::array<std::uint8_t, lcd::kCgramSize> cgram{}; // bits 0 to 4 of the glyphs shown, else 0
    std::int16_t cursorCell = -1; // where the cursor is shown, line * columns + column
    bool cursorUnderline = false;
    bool cursorBlock = false; // the blinking block, shown in its on phase

    std::uint8_t code(int line, int column) const { return codes[line * columns + column]; }
    // Row 0 to 7 of a cell as lit, bit 4 the leftmost dot: CGRAM for codes 0
    // to 15, the A00 ROM for the rest, the cursor over it.
    std::uint8_t dots(int line, int column, int row) const;
    // Whether the two show the same dots, whatever codes make them.
    bool looksLike(const Glass &other) const;
    bool operator==(const Glass &) const = default;
};

// The DDRAM address shown at a line and column after the display has been
// shifted left by shift places; -1 on a line that one-line mode leaves dark.
int shownAddress(const lcd::Geometry &geometry, bool twoLine, int shift, int line, int column);

Glass glassOf(const LcdMemory &memory, const lcd::Geometry &geometry, bool backlightOn = true);

} // namespace glimmerset
