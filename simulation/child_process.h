#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace glimmerset {

// How a child process ended and what it sent back.
struct ChildEnd {
    QByteArray output;
    bool exited = false;
    int exitCode = -1; // when it exited
    int signal = 0;    // when a signal ended it
    bool timedOut = false;

    // "signal 11 (Segmentation fault)"
    QString signalText() const;
};

struct ChildLimits {
    int cpuSeconds = 60;           // a forked child's; runProgram has only the wall time
    int wallSeconds = 0;           // 0: none
    qsizetype maxOutput = 1 << 20; // more is read and dropped
};

// Both return once the child has ended, killed when it ran past its
// limits; stdin is /dev/null, and the child dies with this process however
// that ends (signal_cleanup.h). Both throw Error when no child could be
// started.

// The exit status of a forked child whose job ran out of memory.
inline constexpr int kChildOutOfMemory = 3;

// Forks and runs job in the child with the pipe's write end, then _exit(0);
// stdout and stderr go to /dev/null and no core is dumped.
ChildEnd runChild(const std::function<void(int fd)> &job, const ChildLimits &limits);

// Starts program with arguments in workDir, its stdout and stderr both into
// the output.
ChildEnd runProgram(const QString &program, const QStringList &arguments, const QString &workDir,
                    const ChildLimits &limits);

} // namespace glimmerset
