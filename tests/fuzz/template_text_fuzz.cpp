#include "codegen/template_text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto result = glimmerset::templateTextFromBytes(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    // Each field yields at least a separator, so the text can't be shorter than the field count.
    if (result.text.size() > 3 * static_cast<qsizetype>(size) + 2)
        __builtin_trap();
    return 0;
}
