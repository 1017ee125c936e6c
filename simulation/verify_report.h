#pragma once

#include "simulated_board.h"

#include "glyphs/glyph_set.h"

#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace glimmerset {

// The 64 CGRAM bytes the glyphs should leave: bit 4 is column 0.
std::array<std::uint8_t, 64> cgramImage(const GlyphSet &glyphs);

// DDRAM line 1 or 2 (0 or 1) as far as a 16-column display shows it, codes
// 0 to 15 written {0} to {15}, other unprintable codes {xNN}.
QString displayLine(const BoardRun &run, int line);

struct VerifyReport {
    bool ok = false;
    QStringList lines;
};

// The verdict with a few readable lines: the board, each glyph against
// CGRAM (rows that differ drawn as # and .) when a set is expected, line 1,
// the bus timing with the slower clones' warnings, how the run ended and the
// cycles taken, then OK or FAILED and why. A program that must end in its
// loop fails when the time runs out first.
VerifyReport verifyReport(const BoardRun &run, const BoardConfig &config, const GlyphNames &names,
                          const std::optional<GlyphSet> &expected, bool mustReachLoop = true);

} // namespace glimmerset
