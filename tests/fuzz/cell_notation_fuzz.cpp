#include "simulation/character_rom.h"

#include <cstddef>
#include <cstdint>

// --expect-line's text: whatever parses is a row of cells whose notation
// reads back as the same cells.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString why;
    const auto cells = glimmerset::rom::parseCells(text, &why);
    if (!cells) {
        if (why.isEmpty())
            __builtin_trap();
        return 0;
    }
    QString again;
    for (const std::uint8_t cell : *cells)
        again += glimmerset::rom::cellText(cell);
    if (glimmerset::rom::parseCells(again, &why) != cells)
        __builtin_trap();
    return 0;
}
