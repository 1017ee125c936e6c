#include "simulation/program_image.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace glimmerset;

// Any bytes: a refusal naming the file, or an image no bigger than the cap
// the reader holds a file's segments to.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char *>(data), size);
    ProgramImage image;
    std::string error;
    if (!parseAvrElf(file, "fuzz.elf", image, error)) {
        if (error.find("fuzz.elf") == std::string::npos)
            __builtin_trap();
        return 0;
    }
    std::uint64_t loaded = image.eeprom.size();
    for (const auto &[address, bytes] : image.flash)
        loaded += bytes.size();
    if (loaded > (64u << 20) + 0x10000 || image.mcu.size() > 255)
        __builtin_trap();
    return 0;
}
