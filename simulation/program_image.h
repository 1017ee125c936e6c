#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace glimmerset {

// What a program file puts into the chip, and what it says of the chip.
struct ProgramImage {
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> flash; // address, bytes
    std::vector<std::uint8_t> eeprom;                                       // from address 0
    std::string mcu;           // an ELF's .mmcu section names it, if present
    std::uint32_t clockHz = 0; // likewise
};

// Each gives false with a message naming the file when it can't be read.
bool readIntelHex(const std::string &path, ProgramImage &image, std::string &error);

// An avr-gcc ELF: every loaded segment at its load address, as a
// programmer writes it, the .mmcu section left out; that section's chip
// name and clock.
bool readAvrElf(const std::string &path, ProgramImage &image, std::string &error);

} // namespace glimmerset
