#pragma once

#include "simulation/lcd_glass.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace glimmerset {

// A line the glass must show, in the report's notation.
struct LineExpectation {
    int line = 0; // from 0
    std::vector<std::uint8_t> cells;
};

// Reads "TEXT" for line (from 0) of the module; empty with why set when
// TEXT is no cell notation or longer than the line.
std::optional<LineExpectation> lineExpectation(int line, const QString &text,
                                               const lcd::Geometry &geometry, QString *why);

struct ExpectationVerdict {
    bool held = true;
    QStringList lines;  // the report's
    QStringList failed; // for the verdict line
};

// Each expectation against the glass, trailing blanks ignored and a CGRAM
// code the same as its alias (8 to 15 show glyphs 0 to 7); when describes
// the moment ("at 500.0 ms"). A mismatch shows both lines, one under the
// other, and the column where they part.
ExpectationVerdict judgeExpectations(const std::vector<LineExpectation> &expectations,
                                     const Glass &glass, const QString &when);

} // namespace glimmerset
