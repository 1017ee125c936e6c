#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace glimmerset::avrtest {

// What simavr's own HD44780 part holds after running a hex file with the
// shipped wiring (D4..D7 on PB0..PB3, RS on PB4, E on PB5) on an
// ATmega328P at 16 MHz: an independent reading of the same bus.
struct PartMemory {
    std::array<std::uint8_t, 64> cgram{};
    std::array<std::uint8_t, 40> line1{};
};

PartMemory runWithSimavrPart(const std::string &hexPath, std::uint64_t cycles);

} // namespace glimmerset::avrtest
