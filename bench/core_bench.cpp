#include "alternation.h"
#include "codegen/character_code.h"
#include "codegen/template_text.h"
#include "storage/field_reader.h"
#include "storage/glyph_file.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

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
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                set.setPixel(r, c, g, (r + c + g) % 2);
    return set;
}

// What any reader of these bytes has to do at least: read them in the field
// reader's 64 KiB chunks and find every comma and line end with memchr.
qsizetype memchrFloor(const QByteArray &bytes) {
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    std::vector<char> chunk(64 * 1024);
    qsizetype found = 0;
    for (qint64 n; (n = device.read(chunk.data(), qint64(chunk.size()))) > 0;) {
        const char *const end = chunk.data() + n;
        for (const char c : {',', '\n'})
            for (const char *p = chunk.data();
                 (p = static_cast<const char *>(std::memchr(p, c, end - p))); ++p)
                ++found;
    }
    return found;
}

qsizetype readAllFields(const QByteArray &bytes) {
    FieldReader reader = FieldReader::fromBytes(bytes);
    qsizetype total = 0;
    while (!reader.atEnd())
        total += reader.readText().size();
    return total;
}

// The field reader (one QString a field) against the floor, turn about; the
// floor runs four times a turn so both halves take about as long.
void fieldReaderVsFloor(benchmark::State &state) {
    const QByteArray bytes = templateLike(16 << 20);
    constexpr int kFloorRuns = 4;
    Alternation timing;
    timing.run(
        state,
        [&] {
            for (int i = 0; i < kFloorRuns; ++i)
                benchmark::DoNotOptimize(memchrFloor(bytes));
        },
        [&] { benchmark::DoNotOptimize(readAllFields(bytes)); });
    const double mb = bytes.size() / 1e6;
    state.counters["floor_MBps"] = mb * kFloorRuns / timing.medianA();
    state.counters["reader_MBps"] = mb / timing.medianB();
    state.counters["reader_of_floor"] = timing.ratio() / kFloorRuns; // floor time over reader time
}
BENCHMARK(fieldReaderVsFloor)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

QString templateFile(const QTemporaryDir &dir, int mebibytes) {
    const QString path = dir.filePath(QStringLiteral("t%1.asm").arg(mebibytes));
    QFile file(path);
    const QByteArray bytes = templateLike(qsizetype(mebibytes) << 20);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("can't write %s", qPrintable(path));
    return path;
}

// The template stage as the window runs it, from a file into a fresh buffer:
// 64 MiB once against 1 MiB 64 times (so both halves take about as long), turn
// about, compared per MiB.
void templateStagePerMiB(benchmark::State &state) {
    QTemporaryDir dir;
    const QString small = templateFile(dir, 1), large = templateFile(dir, 64);
    constexpr int kSmallRuns = 64;
    const auto stage = [](const QString &path) {
        QString code;
        if (appendTemplateText(code, path))
            qFatal("the template stage failed");
        benchmark::DoNotOptimize(code.size());
    };
    Alternation timing;
    timing.run(
        state, [&] { stage(large); },
        [&] {
            for (int i = 0; i < kSmallRuns; ++i)
                stage(small);
        });
    state.counters["ms_per_MiB_at_1"] = timing.medianB() * 1e3 / kSmallRuns;
    state.counters["ms_per_MiB_at_64"] = timing.medianA() * 1e3 / 64;
    state.counters["ratio_64_to_1"] = timing.ratio() * kSmallRuns / 64;
}
BENCHMARK(templateStagePerMiB)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

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
