#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace glimmerset::rom {

// The HD44780U's A00 character ROM (the Japanese standard that most modules
// carry) and the report's notation for a line of the display.

// Row 0 to 7 of a code's 5 x 8 pattern, bit 4 the leftmost dot. Codes 0 to
// 15 are CGRAM's, not the ROM's: blank here.
std::uint8_t a00Row(std::uint8_t code, int row);

// A cell in the report's notation: the character as text where it has a
// plain-text form (ASCII, the yen sign, the arrows, the half-width katakana,
// the degree ring, the Greek and other symbols), {n} for CGRAM codes 0 to
// 15, {xNN} for every other code, '{' included.
QString cellText(std::uint8_t code);

// Text in that notation as the codes it stands for; nothing, with why set,
// for a character the ROM lacks or a malformed {...}.
std::optional<std::vector<std::uint8_t>> parseCells(QStringView text, QString *why);

} // namespace glimmerset::rom
