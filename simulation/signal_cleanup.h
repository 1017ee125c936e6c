#pragma once

#include <QString>

#include <csignal>

namespace glimmerset {

// What a signal that ends the process (SIGTERM, SIGINT, SIGHUP, SIGQUIT,
// SIGUSR1, SIGALRM and the others whose default is to end it) must not leave
// behind: the scratch folder and the children working in it. On one of them
// the children are killed, the folder removed, and the signal ends the
// process as it would have. SIGKILL can't be caught: the children die with
// this process all the same (childDiesWithParent), and the next run removes
// the folder (removeOrphanedScratchFolders).

// The folder scratch files go to: $TMPDIR when that is a folder, else /tmp.
QString scratchBase();

// Removes this user's scratch folders in scratchBase() whose process is gone:
// runs ended by SIGKILL, which no handler sees.
void removeOrphanedScratchFolders();

// A fresh folder under scratchBase(), named after this process, removed
// with all it holds when it goes out of scope or such a signal arrives.
// Files only: the removal on a signal reads the folder one level deep. One
// at a time.
class ScratchFolder {
public:
    ScratchFolder(); // throws Error when the folder can't be made
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    QString path() const { return path_; }
    QString filePath(const QString &name) const { return path_ + u'/' + name; }

private:
    QString path_;
};

// Blocks those signals while a child is started and tracked, so none
// arrives between the two.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

    // For a new child: the signals' default actions and the mask from before.
    void releaseInChild() const;
    const sigset_t &previous() const { return previous_; }

private:
    sigset_t previous_;
};

// In a new child, before anything else: it gets SIGKILL when this process
// ends, however it ends. False when this process has ended already.
bool childDiesWithParent(pid_t parent);

void trackChild(pid_t pid);
void untrackChild(pid_t pid);

} // namespace glimmerset
