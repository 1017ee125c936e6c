#pragma once

#include "simulation/findings.h"
#include "simulation/simulated_board.h"

#include "glyphs/glyph_set.h"
#include "storage/glyph_file.h"

#include <QStringList>

#include <array>
#include <cstdint>

namespace glimmerset {

// The 64 CGRAM bytes the glyphs should leave.
std::array<std::uint8_t, lcd::kCgramSize> cgramImage(const GlyphSet &glyphs);

struct Glass;

// A line of the module as its glass shows it, in the notation of
// rom::cellText: ROM characters as text, {0} to {15} for CGRAM codes, {xNN}
// for the rest; blank when the display is off.
QString displayLine(const Glass &glass, int line);
QString displayLine(const LcdMemory &memory, const lcd::Geometry &geometry, int line);

// The run judged: what the bus showed, and what the run as a whole shows:
// no access at all, CGRAM against the set (a row never written differs
// from every set), nothing written when there is no set, the loop not
// reached when it is required, a multi-line module left in one-line mode.
Findings judgeRun(const BoardRun &run, const BoardConfig &config, const GlyphSet *expected,
                  bool loopRequired = true);

struct VerifyReport {
    bool ok = false;
    QStringList lines;
};

// The verdict with readable lines: the board, each glyph against CGRAM
// (rows that differ drawn as # and .) or, without a set, the glyphs CGRAM
// holds, every line of the display, the bus against the datasheet with
// each finding counted and its first instances, the loop and the cycles.
// avra's warnings come first, then the root cause of a failure.
VerifyReport verifyReport(const BoardRun &run, const BoardConfig &config,
                          const GlyphFileContent *set, bool loopRequired = true,
                          const QStringList &assemblerWarnings = {});

} // namespace glimmerset
