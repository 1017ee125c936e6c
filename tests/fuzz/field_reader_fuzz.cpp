#include "storage/error.h"
#include "storage/field_reader.h"

#include <cstddef>
#include <cstdint>

// The first byte picks, bit by bit, whether each field is read as text or as a number.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t pattern = data[0];
    auto reader = glimmerset::FieldReader::fromBytes(
        QByteArray(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1)));
    int previousLine = reader.lineNumber();
    for (int field = 0; field < 4096 && !reader.atEnd(); ++field) {
        try {
            if (pattern & (1u << (field % 8)))
                reader.readNumber();
            else
                reader.readText();
        } catch (const glimmerset::Error &) {
            // A number out of range; the reader stays usable for the next field.
        }
        if (reader.lineNumber() < previousLine)
            __builtin_trap();
        previousLine = reader.lineNumber();
    }
    try {
        reader.readText();
        __builtin_trap(); // at the end a read must refuse
    } catch (const glimmerset::Error &) {
    }
    return 0;
}
