#include "simulation/board_wiring.h"

#include <cstddef>
#include <cstdint>

using namespace glimmerset;

// Any text for --wiring: a message, or a wiring that its written form
// reads back as the same wiring.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString error;
    const auto wiring = parseWiring(text, &error);
    if (!wiring) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    QString again;
    const auto reread = parseWiring(wiringSpec(*wiring), &again);
    if (!reread || *reread != *wiring)
        __builtin_trap();
    return 0;
}
