#include "child_process.h"

#include "signal_cleanup.h"

#include "storage/error.h"
#include "storage/regular_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace glimmerset {

namespace {

// In the child, before job: nothing here may throw or need the parent.
void setUpChild(int pipeWrite, const ChildLimits &limits) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit cpu{rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds) + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const int out = limits.outputIsStdout ? pipeWrite : null;
    dup2(null, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
}

} // namespace

QString ChildEnd::signalText() const {
    return QStringLiteral("signal %1 (%2)").arg(signal).arg(QString::fromLocal8Bit(strsignal(signal)));
}

ChildEnd runChild(const std::function<void(int fd)> &job, const ChildLimits &limits) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw Error(QStringLiteral("Can't make a pipe: %1.").arg(systemReason(errno)));
    pid_t pid;
    {
        SignalsHeld held;
        pid = fork();
        if (pid == 0) {
            held.releaseInChild();
            close(fds[0]);
            setUpChild(fds[1], limits);
            try {
                job(fds[1]);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        if (pid > 0)
            trackChild(pid);
    }
    const int forkErrno = errno;
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        throw Error(QStringLiteral("Can't start a process: %1.").arg(systemReason(forkErrno)));
    }

    ChildEnd end;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.wallSeconds);
    char buffer[65536];
    for (;;) {
        int timeout = -1;
        if (limits.wallSeconds > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            timeout = int(std::max<std::int64_t>(0, left.count()));
        }
        pollfd readable{fds[0], POLLIN, 0};
        const int ready = poll(&readable, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            end.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (end.output.size() < limits.maxOutput)
            end.output.append(buffer, std::min<qsizetype>(n, limits.maxOutput - end.output.size()));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    untrackChild(pid);
    end.exited = WIFEXITED(status);
    end.exitCode = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

} // namespace glimmerset
