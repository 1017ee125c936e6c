#include "alternation.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <vector>

extern char **environ;

namespace {

// Runs a program with stdout to /dev/null; the CPU seconds it took, user and
// system, dynamic loading included, or a negative number when it failed.
double childSeconds(const std::vector<QByteArray> &command) {
    std::vector<char *> argv;
    for (const QByteArray &part : command)
        argv.push_back(const_cast<char *>(part.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

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
