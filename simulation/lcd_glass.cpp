#include "simulation/lcd_glass.h"

#include "simulation/character_rom.h"

namespace glimmerset {

int shownAddress(const lcd::Geometry &geometry, bool twoLine, int shift, int line, int column) {
    const int start = geometry.lineStart[line];
    if (twoLine) {
        // Each line of DDRAM runs round by itself; both shift together.
        const int at = (start % 0x40 + column + shift) % lcd::kDdramLineLength;
        return (start & 0x40) | at;
    }
    // One line of 80 characters drives only the first row of commons.
    if (start & 0x40)
        return -1;
    return (start + column + shift) % lcd::kDdramSize;
}

Glass glassOf(const LcdMemory &memory, const lcd::Geometry &geometry, bool backlightOn) {
    Glass glass;
    glass.columns = static_cast<std::uint8_t>(geometry.columns);
    glass.lines = static_cast<std::uint8_t>(geometry.lines);
    glass.backlightOn = backlightOn;
    glass.codes.fill(Glass::kDark);
    if (!memory.displayOn())
        return glass;
    const bool cursorShown =
        (memory.displayControl & 0x03) && memory.cursor != LcdMemory::kCursorOnCgram;
    for (int line = 0; line < geometry.lines; ++line)
        for (int column = 0; column < geometry.columns; ++column) {
            const int address =
                shownAddress(geometry, memory.twoLine, memory.displayShift, line, column);
            if (address < 0)
                continue;
            const int cell = line * geometry.columns + column;
            const std::uint8_t code =
                memory.ddram[lcd::ddramCell(static_cast<std::uint8_t>(address), memory.twoLine)];
            glass.codes[cell] = code;
            if (code < 16)
                for (int row = 0; row < lcd::kGlyphRows; ++row)
                    glass.cgram[lcd::cgramAddress(code & 7, row)] =
                        memory.cgram[lcd::cgramAddress(code & 7, row)] & 0x1F;
            if (cursorShown && address == memory.cursor) {
                glass.cursorCell = static_cast<std::int16_t>(cell);
                glass.cursorUnderline = memory.displayControl & 0x02;
                glass.cursorBlock = memory.displayControl & 0x01;
            }
        }
    return glass;
}

std::uint8_t Glass::dots(int line, int column, int row) const {
    const int cell = line * columns + column;
    if (cell == cursorCell && (cursorBlock || (cursorUnderline && row == lcd::kGlyphRows - 1)))
        return 0x1F;
    const std::uint8_t code = codes[cell];
    return code < 16 ? cgram[lcd::cgramAddress(code & 7, row)] : rom::a00Row(code, row);
}

bool Glass::looksLike(const Glass &other) const {
    if (columns != other.columns || lines != other.lines || backlightOn != other.backlightOn)
        return false;
    for (int line = 0; line < lines; ++line)
        for (int column = 0; column < columns; ++column)
            for (int row = 0; row < lcd::kGlyphRows; ++row)
                if (dots(line, column, row) != other.dots(line, column, row))
                    return false;
    return true;
}

} // namespace glimmerset
