#include "simulation/intel_hex.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace glimmerset;

// Any bytes: a fault named by its line, or an image of the flash the chip
// has, in runs that neither overlap nor leave the flash. The first byte
// picks the flash, 1 to 256 KiB.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint32_t flashBytes = (std::uint32_t(data[0]) + 1) * 1024;
    const std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
    ProgramImage image;
    std::string error;
    if (!parseIntelHex(text, flashBytes, image, error)) {
        if (error.rfind("line ", 0) != 0)
            __builtin_trap();
        return 0;
    }
    std::uint64_t next = 0;
    for (const auto &[address, bytes] : image.flash) {
        if (bytes.empty() || address < next || address + bytes.size() > flashBytes)
            __builtin_trap();
        next = address + bytes.size();
    }
    if (image.eeprom.size() > 0x10000)
        __builtin_trap();
    return 0;
}
