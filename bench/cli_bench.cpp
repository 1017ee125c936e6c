#include "alternation.h"
#include "child_seconds.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// `glimmerset-cli code docs/example.ch --test-program --rest` against a bare
// QtCore program writing the same bytes, turn about.
void codeCommandVsBareWriter(benchmark::State &state) {
    QTemporaryDir dir;
    const QByteArray expected = QFile::encodeName(dir.filePath(QStringLiteral("expected.asm")));
    const QByteArray cli = GLIMMERSET_CLI;
    const std::vector<QByteArray> code = {cli, "code", GLIMMERSET_SOURCE_DIR "/docs/example.ch", "--test-program",
                                          "--rest"};
    if (childSeconds({cli, "code", GLIMMERSET_SOURCE_DIR "/docs/example.ch", "--test-program", "--rest", "-o",
                      expected}) < 0) {
        state.SkipWithError("glimmerset-cli code failed");
        return;
    }
    const std::vector<QByteArray> bare = {GLIMMERSET_BARE_WRITER, expected};
    Alternation timing;
    timing.runTimed(state, [&] { return childSeconds(code); }, [&] { return childSeconds(bare); });
    state.counters["code_ms"] = timing.medianA() * 1e3;
    state.counters["bare_ms"] = timing.medianB() * 1e3;
    state.counters["ratio"] = timing.ratio();
}
BENCHMARK(codeCommandVsBareWriter)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
