#include "simulation/signal_cleanup.h"

#include "storage/error.h"
#include "storage/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace glimmerset {

namespace {

// Every signal whose default action ends the process, but the ones a fault
// raises (SIGSEGV and the like) and SIGKILL; those ignored stay ignored.
constexpr int kSignals[] = {SIGTERM, SIGINT,  SIGHUP,  SIGQUIT,   SIGUSR1,
                            SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF,
                            SIGXCPU, SIGXFSZ, SIGIO,   SIGPWR,    SIGSTKFLT};
constexpr char kFolderPrefix[] = "glimmerset-";

// What the handler reads: plain words and a buffer filled before the flag
// that publishes it is set.
volatile sig_atomic_t gChildren[4];
char gFolder[4096];
volatile sig_atomic_t gHaveFolder = 0;

sigset_t cleanupSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

// Only what a signal handler may call: the files of one folder, then the
// folder. Removing entries while reading moves the others, so read again
// until a pass removes nothing.
void removeFolder(const char *path) {
    const int folder = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (bool removed = folder >= 0; removed;) {
        removed = false;
        lseek(folder, 0, SEEK_SET);
        alignas(dirent64) char buffer[4096];
        for (ssize_t n; (n = getdents64(folder, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
                at += entry->d_reclen;
                const char *name = entry->d_name;
                const bool dots = name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
                removed |= !dots && unlinkat(folder, name, 0) == 0;
            }
    }
    if (folder >= 0)
        close(folder);
    rmdir(path);
}

void onSignal(int signal) {
    const int savedErrno = errno;
    for (const sig_atomic_t child : gChildren)
        if (child > 0)
            kill(child, SIGKILL);
    if (gHaveFolder)
        removeFolder(gFolder);
    // The signal stays blocked until the handler returns, then ends the
    // process as if no handler had been there.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
    errno = savedErrno;
}

void installHandlers() {
    static const bool installed = [] {
        for (int signal : kSignals) {
            struct sigaction current {};
            sigaction(signal, nullptr, &current);
            // Ignored (nohup and the like) stays ignored, and a handler of
            // someone else's (a profiler's SIGPROF) stays theirs.
            if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = onSignal;
            action.sa_mask = cleanupSignals();
            sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

// A process that has ended but not yet been waited for (a zombie) is gone.
bool processLives(pid_t pid) {
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    // "pid (comm) state ...": comm may hold blanks and parentheses.
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

// Named "glimmerset-PID-XXXXXX": a PID that no process has is an orphan.
void removeOrphanedScratchFolders() {
    const QDir dir(scratchBase());
    for (const QString &name :
         dir.entryList({QLatin1String(kFolderPrefix) + u'*'}, QDir::Dirs | QDir::Hidden)) {
        const QStringView rest = QStringView(name).mid(qsizetype(std::strlen(kFolderPrefix)));
        const qsizetype dash = rest.indexOf(u'-');
        bool ok = false;
        const int pid = dash > 0 ? rest.left(dash).toInt(&ok) : 0;
        if (!ok || pid <= 0 || pid == getpid() || processLives(pid))
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat status {};
        if (lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
            status.st_uid == getuid())
            removeFolder(path.constData());
    }
}

QString scratchBase() {
    const QString tmpdir = qEnvironmentVariable("TMPDIR");
    if (!tmpdir.isEmpty() && QFileInfo(tmpdir).isDir())
        return tmpdir;
    return QStringLiteral("/tmp");
}

ScratchFolder::ScratchFolder() {
    installHandlers();
    const QString base = scratchBase();
    QByteArray name = QFile::encodeName(
        QStringLiteral("%1/%2%3-XXXXXX").arg(base, QLatin1String(kFolderPrefix)).arg(getpid()));
    SignalsHeld held;
    if (gHaveFolder)
        throw Error(QStringLiteral("A scratch folder is in use already."));
    if (!mkdtemp(name.data()))
        throw Error(QStringLiteral("Can't make a scratch folder in %1: %2.")
                        .arg(quoted(base), systemReason(errno)));
    path_ = QFile::decodeName(name);
    if (std::size_t(name.size()) < sizeof gFolder) {
        std::memcpy(gFolder, name.constData(), name.size() + 1);
        gHaveFolder = 1;
    }
}

ScratchFolder::~ScratchFolder() {
    SignalsHeld held;
    gHaveFolder = 0;
    removeFolder(QFile::encodeName(path_).constData());
}

SignalsHeld::SignalsHeld() {
    installHandlers();
    const sigset_t set = cleanupSignals();
    sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeld::~SignalsHeld() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void SignalsHeld::releaseInChild() const {
    for (int signal : kSignals) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        if (action.sa_handler != SIG_IGN) {
            action.sa_handler = SIG_DFL;
            sigaction(signal, &action, nullptr);
        }
    }
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

bool childDiesWithParent(pid_t parent) {
    // The parent may have ended between fork and prctl: then it is no longer ours.
    return prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent;
}

void trackChild(pid_t pid) {
    for (volatile sig_atomic_t &slot : gChildren)
        if (slot == 0) {
            slot = pid;
            return;
        }
}

void untrackChild(pid_t pid) {
    for (volatile sig_atomic_t &slot : gChildren)
        if (slot == pid)
            slot = 0;
}

} // namespace glimmerset
