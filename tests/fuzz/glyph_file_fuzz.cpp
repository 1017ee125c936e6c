#include "storage/error.h"
#include "storage/glyph_file.h"

#include <cstddef>
#include <cstdint>

// Whatever loads, read on to its end to tell of its shape as the command
// line reads it, and can be saved again must load back the same; a file as
// saved has no shape to tell of.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace glimmerset;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    GlyphFileContent loaded;
    try {
        loaded = glyphsFromBytes(bytes, QStringLiteral("fuzz.ch"), Leftovers::Counted);
    } catch (const Error &) {
        return 0;
    }
    QByteArray saved;
    try {
        saved = glyphFileBytes(loaded.names, loaded.glyphs);
    } catch (const Error &) {
        return 0; // a name no glyph file can bring back is refused on save
    }
    const GlyphFileContent again =
        glyphsFromBytes(saved, QStringLiteral("saved.ch"), Leftovers::Counted);
    if (again.names != loaded.names || !again.shape.isEmpty())
        __builtin_trap();
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                if (again.glyphs.isLit(r, c, g) != loaded.glyphs.isLit(r, c, g))
                    __builtin_trap();
    return 0;
}
