#pragma once

#include "simulation/program_image.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace glimmerset {

// Intel hex, strictly: every record type (00 data, 01 end of file, 02 and 04
// extended segment and linear address, 03 and 05 start address, which an AVR
// has no use for), each record's length and checksum, data only inside the
// flash's flashBytes or avr-gcc's EEPROM image at 0x810000, no byte written
// twice, one end-of-file record and nothing after it but blank lines. Gives
// false with "line N: what" at the first fault.
bool parseIntelHex(std::string_view text, std::uint32_t flashBytes, ProgramImage &image,
                   std::string &error);

// The same for a file; the message names the file.
bool readIntelHex(const std::string &path, std::uint32_t flashBytes, ProgramImage &image,
                  std::string &error);

} // namespace glimmerset
