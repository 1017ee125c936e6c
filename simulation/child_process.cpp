#include "simulation/child_process.h"

#include "simulation/signal_cleanup.h"

#include "storage/error.h"
#include "storage/regular_file.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace glimmerset {

namespace {

struct Pipe {
    int read = -1, write = -1;

    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw Error(QStringLiteral("Can't make a pipe: %1.").arg(systemReason(errno)));
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;

    void closeRead() {
        if (read >= 0)
            close(std::exchange(read, -1));
    }
    void closeWrite() {
        if (write >= 0)
            close(std::exchange(write, -1));
    }
};

// Reads the child's output to its end or the wall time, then waits for it.
ChildEnd collect(pid_t pid, Pipe &pipe, const ChildLimits &limits) {
    pipe.closeWrite();
    ChildEnd end;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.wallSeconds);
    // Small and on the stack: after a fork every page this process writes
    // is copied first.
    char buffer[4096];
    for (;;) {
        int timeout = -1;
        if (limits.wallSeconds > 0)
            timeout = int(std::max<std::int64_t>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                       .count()));
        pollfd readable{pipe.read, POLLIN, 0};
        const int ready = poll(&readable, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            end.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = read(pipe.read, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        end.output.append(
            buffer,
            std::min<qsizetype>(n, std::max<qsizetype>(0, limits.maxOutput - end.output.size())));
    }
    pipe.closeRead();
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    untrackChild(pid);
    end.exited = WIFEXITED(status);
    end.exitCode = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

[[noreturn]] void cannotStart(int error) {
    throw Error(QStringLiteral("Can't start a process: %1.").arg(systemReason(error)));
}

} // namespace

QString ChildEnd::signalText() const {
    return QStringLiteral("signal %1 (%2)")
        .arg(signal)
        .arg(QString::fromLocal8Bit(strsignal(signal)));
}

ChildEnd runChild(const std::function<void(int fd)> &job, const ChildLimits &limits) {
    Pipe pipe;
    const pid_t parent = getpid();
    pid_t pid;
    {
        SignalsHeld held;
        pid = fork();
        if (pid == 0) {
            held.releaseInChild();
            if (!childDiesWithParent(parent))
                _exit(1);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            const rlimit cpu{rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds) + 1};
            setrlimit(RLIMIT_CPU, &cpu);
            const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
            for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
                dup2(null, fd);
            try {
                job(pipe.write);
            } catch (const std::bad_alloc &) {
                _exit(kChildOutOfMemory);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        if (pid < 0)
            cannotStart(errno);
        trackChild(pid);
    }
    return collect(pid, pipe, limits);
}

ChildEnd runProgram(const QString &program, const QStringList &arguments, const QString &workDir,
                    const ChildLimits &limits) {
    QList<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words << QFile::encodeName(argument);
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray dir = QFile::encodeName(workDir);

    Pipe pipe;
    const pid_t parent = getpid();
    pid_t pid;
    {
        SignalsHeld held;
        // fork, not posix_spawn: the child must ask to die with this process
        // before it execs, and between the two calls only what a signal
        // handler may call.
        pid = fork();
        if (pid == 0) {
            held.releaseInChild();
            if (!childDiesWithParent(parent))
                _exit(127);
            const int null = open("/dev/null", O_RDONLY);
            if (null < 0 || dup2(null, STDIN_FILENO) < 0 || dup2(pipe.write, STDOUT_FILENO) < 0 ||
                dup2(pipe.write, STDERR_FILENO) < 0 || chdir(dir.constData()) != 0)
                _exit(127);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (pid < 0)
            cannotStart(errno);
        trackChild(pid);
    }
    return collect(pid, pipe, limits);
}

} // namespace glimmerset
