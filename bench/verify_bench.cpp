// glimmerset-cli verify on docs/example.ch against its floor: avra on the
// same program and a bare simavr run of its hex to the same cycle, each a
// process of its own as verify is.

#include "alternation.h"
#include "child_seconds.h"

#include "codegen/asm_file.h"
#include "codegen/code_generation.h"
#include "storage/glyph_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <vector>

using namespace glimmerset;

namespace {

// Runs a program to its end in folder; its CPU time and its children's, and
// its stdout when asked for.
double runProcess(const std::vector<QByteArray> &command, const QString &folder,
                  QByteArray *output = nullptr) {
    const double seconds = childSeconds(command, QFile::encodeName(folder).constData(), "out.txt");
    if (seconds < 0)
        qFatal("%s failed", command.front().constData());
    if (output) {
        QFile file(QDir(folder).filePath(QStringLiteral("out.txt")));
        file.open(QIODevice::ReadOnly);
        *output = file.readAll();
    }
    return seconds;
}

// The floor runs the same program as verify, to the cycle verify reports.
void verifyVsFloor(benchmark::State &state) {
    QTemporaryDir dir;
    const QString set = QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch");
    const QString templates = QStringLiteral(GLIMMERSET_SOURCE_DIR "/templates");
    const GlyphFileContent content = glyphs_from_file(set);
    CodeRequest request;
    request.testProgram = request.characterCode = request.restOfCode = true;
    request.names = content.names;
    request.glyphs = content.glyphs;
    request.templateDir = templates;
    QString code;
    if (appendCode(code, request))
        qFatal("the templates can't be read");
    write_asm_file(dir.filePath(QStringLiteral("program.asm")), code);

    const std::vector<QByteArray> verify{GLIMMERSET_CLI, "verify", QFile::encodeName(set),
                                         "--templates", QFile::encodeName(templates)};
    const std::vector<QByteArray> avra{GLIMMERSET_AVRA, "-I", "/usr/share/avra", "program.asm"};
    QByteArray report;
    runProcess(verify, dir.path(), &report);
    const auto loop = QRegularExpression(QStringLiteral("Loop: reached after (\\d+) cycles"))
                          .match(QString::fromLatin1(report));
    if (!loop.hasMatch() || !report.endsWith("OK\n"))
        qFatal("verify did not pass:\n%s", report.constData());
    runProcess(avra, dir.path());
    const std::vector<QByteArray> bare{GLIMMERSET_BARE_SIMAVR, "program.hex",
                                       loop.captured(1).toLatin1()};

    Alternation timing;
    timing.runTimed(
        state, [&] { return runProcess(verify, dir.path()); },
        [&] { return runProcess(avra, dir.path()) + runProcess(bare, dir.path()); });
    state.counters["verify_ms"] = timing.medianA() * 1e3;
    state.counters["floor_ms"] = timing.medianB() * 1e3;
    state.counters["verify_of_floor"] = timing.ratio();
}
BENCHMARK(verifyVsFloor)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

// The pin timing's hot path: a program that writes the LCD's port every 3
// cycles for a simulated second, E included, so that every write is an
// edge the controller judges (and counts as broken: verify exits 1), against
// a bare simavr run of the same cycles.
void portWritesVsFloor(benchmark::State &state) {
    QTemporaryDir dir;
    QFile source(dir.filePath(QStringLiteral("port.asm")));
    if (!source.open(QIODevice::WriteOnly) ||
        source.write(".include \"m328Pdef.inc\"\n"
                     "    ser r16\n    out DDRB, r16\n    clr r17\n"
                     "loop:\n    out PORTB, r16\n    nop\n    nop\n"
                     "    out PORTB, r17\n    rjmp loop\n") < 0)
        qFatal("can't write the program");
    source.close();
    const std::vector<QByteArray> avra{GLIMMERSET_AVRA, "-I", "/usr/share/avra", "port.asm"};
    runProcess(avra, dir.path());
    const std::vector<QByteArray> verify{GLIMMERSET_CLI, "verify", "--program", "port.hex",
                                         "--mcu", "atmega328p", "--seconds", "1"};
    const std::vector<QByteArray> bare{GLIMMERSET_BARE_SIMAVR, "port.hex", "16000000"};
    const QByteArray folder = QFile::encodeName(dir.path());
    const auto timed = [&](const std::vector<QByteArray> &command, int okExit) {
        const double seconds = childSeconds(command, folder.constData(), "/dev/null", okExit);
        if (seconds < 0)
            qFatal("%s failed", command.front().constData());
        return seconds;
    };
    Alternation timing;
    timing.runTimed(
        state, [&] { return timed(verify, 1); }, [&] { return timed(bare, 0); });
    state.counters["verify_ms"] = timing.medianA() * 1e3;
    state.counters["floor_ms"] = timing.medianB() * 1e3;
    state.counters["verify_of_floor"] = timing.ratio();
}
BENCHMARK(portWritesVsFloor)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
