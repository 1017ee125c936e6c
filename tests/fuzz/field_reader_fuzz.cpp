#include "storage/error.h"
#include "storage/field_reader.h"

#include "../core/reference_reader.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

constexpr qsizetype kChunk = 64 * 1024; // the reader's read size

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
// number; the second, when odd, puts the rest across the reader's first
// chunk boundary at one of 128 places, behind a field of padding.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t pattern = data[0];
    QByteArray bytes;
    if (data[1] & 1)
        bytes = QByteArray(kChunk - qsizetype(data[1] >> 1) * 32 - 2, 'x') + "\r\n";
    bytes.append(reinterpret_cast<const char *>(data + 2), static_cast<qsizetype>(size - 2));
    auto reader = glimmerset::FieldReader::fromBytes(bytes);
    glimmerset::test::ReferenceReader reference(bytes);
    // Every read takes at least a byte, so this ends; the read at the end must be refused by both.
    for (int field = 0;; ++field) {
        const bool end = reader.atEnd();
        if (end != reference.atEnd())
            __builtin_trap();
        const bool asNumber = pattern & (1u << (field % 8));
        if (take(reader, asNumber) != take(reference, asNumber) || reader.lineNumber() != reference.lineNumber())
            __builtin_trap();
        if (end)
            break;
    }
    return 0;
}
