// glimmerset-cli verify on docs/example.ch against its floor: avra on the
// same program and a bare simavr run of its hex to the same cycle, each a
// process of its own as verify is.

#include "alternation.h"

#include "codegen/asm_file.h"
#include "codegen/code_generation.h"
#include "storage/glyph_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace glimmerset;

namespace {

double cpuSeconds(const rusage &usage) {
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Runs a program to its end in folder; its CPU time and its children's, and
// its stdout when asked for.
double runProcess(const std::vector<std::string> &command, const QString &folder,
                  QByteArray *output = nullptr) {
    const QByteArray out = QFile::encodeName(QDir(folder).filePath(QStringLiteral("out.txt")));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, QFile::encodeName(folder).constData());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (const std::string &argument : command)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        qFatal("can't start %s", argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status))
        qFatal("%s did not end normally", argv[0]);
    if (output) {
        QFile file(QFile::decodeName(out));
        file.open(QIODevice::ReadOnly);
        *output = file.readAll();
    }
    return cpuSeconds(usage);
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

    const std::vector<std::string> verify{GLIMMERSET_CLI, "verify", set.toStdString(),
                                          "--templates", templates.toStdString()};
    const std::vector<std::string> avra{GLIMMERSET_AVRA, "-I", "/usr/share/avra", "program.asm"};
    QByteArray report;
    runProcess(verify, dir.path(), &report);
    const auto loop = QRegularExpression(QStringLiteral("Loop: reached after (\\d+) cycles"))
                          .match(QString::fromLatin1(report));
    if (!loop.hasMatch() || !report.endsWith("OK\n"))
        qFatal("verify did not pass:\n%s", report.constData());
    runProcess(avra, dir.path());
    const std::vector<std::string> bare{GLIMMERSET_BARE_SIMAVR, "program.hex",
                                        loop.captured(1).toStdString()};

    Alternation timing;
    timing.runTimed(
        state, [&] { return runProcess(verify, dir.path()); },
        [&] { return runProcess(avra, dir.path()) + runProcess(bare, dir.path()); });
    state.counters["verify_ms"] = timing.medianA() * 1e3;
    state.counters["floor_ms"] = timing.medianB() * 1e3;
    state.counters["verify_of_floor"] = timing.ratio();
}
BENCHMARK(verifyVsFloor)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
