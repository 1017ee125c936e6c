#pragma once

// A program run to its end as a process of its own, timed by the kernel.

#include <QByteArray>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

// Runs command (the program by its path, then its arguments) in folder when
// given, stdout to the file stdoutPath (relative to folder) and stderr to
// /dev/null. Gives the CPU seconds it and its children took, user and
// system, dynamic loading included; negative when it couldn't start, ended
// by a signal or exited other than 0 (or okExit).
inline double childSeconds(const std::vector<QByteArray> &command, const char *folder = nullptr,
                           const char *stdoutPath = "/dev/null", int okExit = 0) {
    std::vector<char *> argv;
    for (const QByteArray &part : command)
        argv.push_back(const_cast<char *>(part.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (folder)
        posix_spawn_file_actions_addchdir_np(&actions, folder);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath,
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != okExit))
        return -1;
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
