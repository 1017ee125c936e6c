#include "storage/error.h"
#include "storage/field_reader.h"

#include "../core/reference_reader.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// A field's outcome: its text or number, or nothing where the read refused.
template <typename Reader> std::optional<QString> take(Reader &reader, bool asNumber) {
    try {
        return asNumber ? QString::number(reader.readNumber()) : reader.readText();
    } catch (const glimmerset::Error &) {
        return std::nullopt;
    }
}

} // namespace

// The streaming reader against the plain reference, field by field: the same
// text or number, the same refusals, the same line and the same end. The
// first byte picks, bit by bit, whether each field is read as text or as a
// number; the second is the reader's read size (0: the files' own), so
// fields and line ends fall across reads at every place.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t pattern = data[0];
    const qsizetype chunk = data[1] ? data[1] : glimmerset::FieldReader::kChunkSize;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    auto reader = glimmerset::FieldReader::fromBytes(bytes, QStringLiteral("(memory)"), chunk);
    glimmerset::test::ReferenceReader reference(bytes);
    // Every read takes at least a byte, so this ends; the read at the end must be refused by both.
    for (int field = 0;; ++field) {
        const bool end = reader.atEnd();
        if (end != reference.atEnd())
            __builtin_trap();
        const bool asNumber = pattern & (1u << (field % 8));
        if (take(reader, asNumber) != take(reference, asNumber) ||
            reader.lineNumber() != reference.lineNumber())
            __builtin_trap();
        if (end)
            break;
    }
    return 0;
}
