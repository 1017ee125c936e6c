#include "simulation/board_process.h"

#include "simulation/child_process.h"

#include "storage/error.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <type_traits>

namespace glimmerset {

namespace {

// Every field of a run, in one order for writing and reading: a field that
// is missing here comes back as its default, which the tests notice. A
// field that is a struct of strings or vectors gets a fields() of its own.
template <typename Io> void fields(Io &io, BoardRun &run) {
    io(run.loaded, run.loadError, run.mcu, run.clockHz, run.end, run.fault, run.cycles,
       run.cycleBudget, run.lcd, run.findings, run.writes, run.dataWrites, run.reads,
       run.i2cTraffic, run.backlightOn, run.snapshot, run.frames, run.clockAssumed,
       run.outputsElsewhere, run.busEdges);
}

template <typename Io> void fields(Io &io, Finding &finding) {
    io(finding.kind, finding.rule, finding.title, finding.count, finding.instances);
}

// Strings and vectors: a count, then the elements.
template <typename T>
concept Sequence = requires(T &value) {
    value.resize(0);
    value.data();
};

// Trivially copyable values as their bytes, sequences as a count and their
// elements, structs by their fields(): both ends are this program on this
// machine.
struct Writer {
    std::string bytes;

    template <typename... T> void operator()(T &...values) { (put(values), ...); }

    template <typename T> void put(T &value) {
        if constexpr (std::is_trivially_copyable_v<T>) {
            bytes.append(reinterpret_cast<const char *>(&value), sizeof value);
        } else if constexpr (Sequence<T>) {
            std::uint64_t count = value.size();
            put(count);
            using Element = typename T::value_type;
            if constexpr (std::is_trivially_copyable_v<Element>) {
                if (count)
                    bytes.append(reinterpret_cast<const char *>(value.data()),
                                 count * sizeof(Element));
            } else
                for (auto &element : value)
                    put(element);
        } else {
            fields(*this, value);
        }
    }
};

struct Reader {
    const char *at;
    const char *end;
    bool ok = true;

    template <typename... T> void operator()(T &...values) { (get(values), ...); }

    template <typename T> void get(T &value) {
        if constexpr (std::is_trivially_copyable_v<T>) {
            take(&value, sizeof value);
        } else if constexpr (Sequence<T>) {
            std::uint64_t count = 0;
            get(count);
            // Each element takes at least a byte.
            if (!ok || count > std::uint64_t(end - at)) {
                ok = false;
                return;
            }
            value.resize(count);
            using Element = typename T::value_type;
            if constexpr (std::is_trivially_copyable_v<Element>)
                take(value.data(), count * sizeof(Element));
            else
                for (auto &element : value)
                    get(element);
        } else {
            fields(*this, value);
        }
    }

    void take(void *to, std::uint64_t size) {
        if (size == 0) // an empty vector's data() may be null
            return;
        if (!ok || size > std::uint64_t(end - at)) {
            ok = false;
            return;
        }
        std::memcpy(to, at, size);
        at += size;
    }
};

void writeAll(int fd, const std::string &bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        at += std::size_t(n);
    }
}

} // namespace

BoardRun runOnBoard(const ProgramFile &program, const BoardConfig &config, double seconds) {
    ChildLimits limits;
    // simavr runs some tens of simulated MHz, at least ten on the busiest
    // programs: the budget follows the cycles the run may take, so a clock
    // named far too high can't hold a core for long.
    const double cycles = seconds * (config.clockHz ? config.clockHz : kDefaultClockHz);
    limits.cpuSeconds = 10 + int(cycles / 10e6);
    limits.maxOutput = qsizetype(1) << 30;
    const ChildEnd end = runChild(
        [&](int fd) {
            BoardRun run = simulateBoard(program, config, seconds);
            Writer writer;
            fields(writer, run);
            writeAll(fd, writer.bytes);
        },
        limits);
    if (end.signal == SIGXCPU)
        throw Error(QStringLiteral("The simulation took more than its %1 s of CPU time and was "
                                   "stopped.")
                        .arg(limits.cpuSeconds));
    if (end.signal == SIGKILL)
        throw Error(QStringLiteral("The simulation was killed (%1), most likely by the system "
                                   "for want of memory.")
                        .arg(end.signalText()));
    if (end.signal)
        throw Error(QStringLiteral("The simulator crashed while it ran the program: %1.")
                        .arg(end.signalText()));
    if (end.exited && end.exitCode == kChildOutOfMemory)
        throw Error(QStringLiteral("The simulation ran out of memory."));
    BoardRun run;
    Reader reader{end.output.constData(), end.output.constData() + end.output.size()};
    fields(reader, run);
    if (!end.exited || end.exitCode != 0 || !reader.ok || reader.at != reader.end)
        throw Error(QStringLiteral("The simulator ended without a result (exit status %1).")
                        .arg(end.exitCode));
    return run;
}

} // namespace glimmerset
