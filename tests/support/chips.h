#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// The chips the tests walk: the device include a program names and the
// --mcu it stands for.
struct Chip {
    const char *include;
    const char *mcu;
};

// The README's table first, attiny2313 last of it (too little RAM for a
// backpack's program), then the two small chips the table form is meant for.
inline constexpr Chip kChips[] = {
    {"m8def.inc", "atmega8"},       {"m16def.inc", "atmega16"},      {"m32def.inc", "atmega32"},
    {"m48def.inc", "atmega48"},     {"m88def.inc", "atmega88"},      {"m168def.inc", "atmega168"},
    {"m328Pdef.inc", "atmega328p"}, {"tn2313def.inc", "attiny2313"}, {"tn13def.inc", "attiny13"},
    {"tn85def.inc", "attiny85"},
};
// The chips the shipped program is proven on.
inline constexpr std::span<const Chip> kProgramChips = std::span(kChips).first(8);

// Where a chip stands in kChips, for tests that take turns by it.
inline std::size_t chipIndex(const Chip &chip) {
    for (std::size_t i = 0; i < std::size(kChips); ++i)
        if (std::string_view(kChips[i].mcu) == chip.mcu)
            return i;
    return 0;
}
