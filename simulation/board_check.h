#pragma once

#include "simulated_board.h"

#include "glyphs/glyph_set.h"

#include <QString>

#include <string>
#include <vector>

namespace glimmerset::avrtest {

QString shippedTemplate(const char *name);

// main.asm, the LCD_char block and rest.asm, joined as "Create Selected"
// joins them with the first three action rows selected. restText stands in
// for rest.asm's template text when given.
QString programText(const GlyphNames &names, const GlyphSet &glyphs, const QString *restText = nullptr);

struct Assembly {
    bool ok = false;
    QString hexPath;
    QString log; // avra's output, for the failure message
};

// Saves source the way "Save to File" does, into dir, and runs avra on it.
Assembly assemble(const QString &source, const QString &dir);

// The 64 CGRAM bytes the glyphs should leave: bit 4 is column 0.
std::array<std::uint8_t, 64> cgramImage(const GlyphSet &glyphs);

// What went wrong on the board, by the expectations of the test program:
// every glyph row in CGRAM, characters 0 to 7 at the start of line 1, a clean
// bus and the loop reached. Empty when all holds.
std::vector<std::string> boardProblems(const BoardRun &run, const GlyphSet &expected);

// A cycle budget of 250 ms: the program needs about 60.
inline constexpr std::uint64_t kCycleBudget = kBoardClockHz / 4;

} // namespace glimmerset::avrtest
