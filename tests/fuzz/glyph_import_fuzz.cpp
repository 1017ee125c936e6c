#include "codegen/glyph_import.h"
#include "codegen/template_check.h"
#include "storage/error.h"

#include <cstddef>
#include <cstdint>

// Pasted sources and templates are anyone's text: both readers must end in
// a result or an Error, never in a crash or a hang.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        const glimmerset::ImportedGlyphs imported = glimmerset::importGlyphs(bytes, "fuzz");
        if (imported.found < 1 || imported.found > glimmerset::kGlyphCount)
            __builtin_trap();
    } catch (const glimmerset::Error &) {
    }
    int line = 0;
    for (const glimmerset::TemplateFinding &finding : glimmerset::checkTemplateBytes(bytes)) {
        if (finding.line <= line)
            __builtin_trap();
        line = finding.line;
    }
    return 0;
}
