#include "codegen/character_code.h"
#include "codegen/template_text.h"
#include "storage/field_reader.h"
#include "storage/glyph_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace glimmerset;

namespace {

// Lines shaped like a shipped template: instructions, split operands, comments, labels.
QByteArray templateLike(qsizetype size) {
    static const char *const lines[] = {
        "        LDI     r16, 0x3F           ; function set, 8-bit bus\r\n",
        "        OUT     PORTD, r16\r\n",
        "        RCALL   lcd_wait\r\n",
        "lcd_loop:\r\n",
        "        STS     0x0100, r17\r\n",
        "; the busy flag is polled, never timed\r\n",
    };
    QByteArray bytes;
    bytes.reserve(size + 80);
    for (int i = 0; bytes.size() < size; ++i)
        bytes += lines[i % 6];
    bytes.truncate(size);
    return bytes;
}

GlyphSet checkered() {
    GlyphSet set;
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < kRowCount; ++r)
            for (int c = 0; c < kColumnCount; ++c)
                set.setPixel(r, c, g, (r + c + g) % 2);
    return set;
}

void fieldReader(benchmark::State &state) {
    const QByteArray bytes = templateLike(16 << 20);
    for (auto _ : state) {
        FieldReader reader = FieldReader::fromBytes(bytes);
        qsizetype total = 0;
        while (!reader.atEnd())
            total += reader.readText().size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(fieldReader)->Unit(benchmark::kMillisecond);

void templateText(benchmark::State &state) {
    const QByteArray bytes = templateLike(state.range(0) << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(templateTextFromBytes(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(templateText)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void emitter(benchmark::State &state) {
    const GlyphNames names = defaultGlyphNames();
    const GlyphSet glyphs = checkered();
    for (auto _ : state)
        benchmark::DoNotOptimize(character_code(names, glyphs));
}
BENCHMARK(emitter)->Unit(benchmark::kMicrosecond);

void glyphSaveAndLoad(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.ch"));
    const GlyphNames names = defaultGlyphNames();
    const GlyphSet glyphs = checkered();
    for (auto _ : state) {
        glyphs_to_file(path, names, glyphs);
        benchmark::DoNotOptimize(glyphs_from_file(path));
    }
}
BENCHMARK(glyphSaveAndLoad)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
