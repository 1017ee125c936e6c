#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// avr-gcc's EEPROM image, as its linker scripts and objcopy lay it out.
inline constexpr std::uint32_t kEepromImage = 0x810000;
inline constexpr std::uint32_t kEepromImageEnd = 0x820000;

// The whole file into bytes when it holds at most maxBytes, else false with
// a message naming the file.
bool readProgramBytes(const std::string &path, std::size_t maxBytes, std::string &bytes,
                      std::string &error);

// An avr-gcc ELF: every loaded segment at its load address, as a
// programmer writes it, the .mmcu section left out; that section's chip
// name and clock. False with a message naming the file (name, for bytes)
// when it can't be read.
bool parseAvrElf(std::string_view file, const std::string &name, ProgramImage &image,
                 std::string &error);
bool readAvrElf(const std::string &path, ProgramImage &image, std::string &error);

} // namespace glimmerset
