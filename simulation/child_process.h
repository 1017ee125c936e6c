#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace glimmerset {

// How a child process ended and what it sent back.
struct ChildEnd {
    QByteArray output;
    bool exited = false;
    int exitCode = -1;  // when it exited
    int signal = 0;     // when a signal ended it
    bool timedOut = false;

    // "signal 11 (Segmentation fault)"
    QString signalText() const;
};

struct ChildLimits {
    int cpuSeconds = 60;
    int wallSeconds = 0;           // 0: no limit beyond the CPU time
    qsizetype maxOutput = 1 << 20; // more is read and dropped
    bool outputIsStdout = false;   // stdout and stderr to the pipe, else to /dev/null
};

// Forks, and in the child runs job with the pipe's write end (then _exit(0);
// job may exec instead). stdin is /dev/null, no core is dumped, and
// SIGTERM, SIGINT or SIGHUP to this process kills the child too. Returns
// once the child has ended, killed when it ran past its limits. Throws
// Error when no child could be started.
ChildEnd runChild(const std::function<void(int fd)> &job, const ChildLimits &limits);

} // namespace glimmerset
