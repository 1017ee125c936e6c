#include "storage/atomic_file.h"

#include "storage/descriptor.h"
#include "storage/error.h"
#include "storage/linux_calls.h"

#include <QFile>
#include <QRandomGenerator>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace glimmerset {

namespace {

// Written with the system calls so every failure keeps its errno: QSaveFile of
// Qt 6.4 renames a short file over the old one when the flush inside commit()
// fails, and its temporary name grows past the limit for a long file name.

// As many hops as the kernel itself follows before it gives up.
constexpr int kMaxSymlinkHops = 40;

// Every byte or errno.
bool writeAll(int fd, const QByteArray &bytes) {
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

// The file's name, cut at a character boundary so that the suffix still fits
// where the file system allows no longer names.
QByteArray temporaryStem(int folder, const QByteArray &base) {
    constexpr qsizetype kSuffix = 7; // ".XXXXXX"
    long nameMax = ::fpathconf(folder, _PC_NAME_MAX);
    if (nameMax <= kSuffix)
        nameMax = NAME_MAX;
    qsizetype keep = std::min<qsizetype>(base.size(), nameMax - kSuffix);
    while (keep > 0 && keep < base.size() && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80)
        --keep;
    return base.left(keep);
}

QByteArray randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(".");
    for (int i = 0; i < 6; ++i)
        suffix += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    return suffix;
}

// Every step after the first works on one open descriptor of the folder, so
// the file that was looked at is the one replaced, whatever is renamed meanwhile.
class AtomicSave {
public:
    AtomicSave(const QString &path, const QByteArray &bytes) : path_(path), bytes_(bytes) {}
    void run();

private:
    Error failure(const QString &reason) const {
        return Error(QStringLiteral("Can't write \"%1\": %2.").arg(path_, reason));
    }
    Error failure(int error) const { return failure(systemReason(error)); }
    Error notRegular(mode_t mode) const {
        return failure(QStringLiteral("it is %1, not a regular file, so nothing was written").arg(fileKindName(mode)));
    }
    Error folderFailure(int error) const {
        return failure(QStringLiteral("can't create a file in the folder \"%1\": %2")
                           .arg(QFile::decodeName(folderName_), systemReason(error)));
    }
    QByteArray followSymlinks() const;
    void findTarget();
    void writeInPlace(int folderError);
    void replace(Descriptor &temporary, const QByteArray &temporaryName);

    QString path_;
    const QByteArray &bytes_;
    QByteArray folderName_; // for messages
    QByteArray base_;       // the name inside folder_ that is replaced
    Descriptor folder_;
    bool exists_ = false;
    struct stat old_ {};
};

// The name a save through path_ replaces: every link of a chain followed, so a
// link to a link to a missing file names that file, which is then created.
QByteArray AtomicSave::followSymlinks() const {
    QByteArray name = QFile::encodeName(path_);
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return name; // whatever fails here fails again below, with its reason
        if (hops == kMaxSymlinkHops)
            throw failure(QStringLiteral("its symlinks lead round in a loop, so nothing was written"));
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), target.size());
        if (n < 0)
            throw failure(errno);
        target.truncate(n);
        const qsizetype slash = name.lastIndexOf('/');
        name = target.startsWith('/') || slash < 0 ? target : name.left(slash + 1) + target;
    }
}

void AtomicSave::findTarget() {
    const QByteArray target = followSymlinks();
    const qsizetype slash = target.lastIndexOf('/');
    folderName_ = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    base_ = target.mid(slash + 1);
    if (base_.isEmpty()) // "name/": the folder itself
        base_ = ".";
    folder_ = openAt(AT_FDCWD, folderName_, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!folder_.isOpen() && errno == EACCES) // searchable, not listable: enough, but no fsync
        folder_ = openAt(AT_FDCWD, folderName_, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (!folder_.isOpen())
        throw folderFailure(errno);
    exists_ = ::fstatat(folder_.get(), base_.constData(), &old_, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists_ && errno != ENOENT)
        throw failure(errno);
    if (exists_ && S_ISDIR(old_.st_mode))
        throw failure(QStringLiteral("it is a folder"));
    if (exists_ && !S_ISREG(old_.st_mode))
        throw notRegular(old_.st_mode);
    if (exists_ && ::faccessat(folder_.get(), base_.constData(), W_OK, AT_EACCESS) != 0)
        throw failure(errno);
}

void AtomicSave::run() {
    findTarget();
    const QByteArray stem = temporaryStem(folder_.get(), base_);
    // Private from its first moment when it stands in for a file: others get
    // to read it only once it has the old file's owner, group and mode.
    const mode_t mode = exists_ ? 0600 : 0666;
    QByteArray temporaryName;
    Descriptor temporary;
    for (int attempt = 0; attempt < 100 && !temporary.isOpen(); ++attempt) {
        temporaryName = stem + randomSuffix();
        temporary = openAt(folder_.get(), temporaryName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (!temporary.isOpen() && errno != EEXIST)
            break;
    }
    if (!temporary.isOpen()) {
        const int error = errno;
        if (exists_ && (error == EACCES || error == EPERM))
            return writeInPlace(error);
        throw folderFailure(error);
    }
    try {
        replace(temporary, temporaryName);
    } catch (...) {
        ::unlinkat(folder_.get(), temporaryName.constData(), 0);
        throw;
    }
}

void AtomicSave::replace(Descriptor &temporary, const QByteArray &temporaryName) {
    if (exists_) {
        // Owner first: changing it clears set-user-ID bits the mode then puts back.
        if (::fchown(temporary.get(), old_.st_uid, old_.st_gid) != 0)
            (void)::fchown(temporary.get(), static_cast<uid_t>(-1), old_.st_gid);
        if (::fchmod(temporary.get(), old_.st_mode & 07777) != 0)
            throw failure(errno);
    }
    if (!writeAll(temporary.get(), bytes_) || ::fsync(temporary.get()) != 0 || !temporary.close())
        throw failure(errno);
    if (::renameat(folder_.get(), temporaryName.constData(), folder_.get(), base_.constData()) != 0)
        throw failure(errno);
    // The rename itself reaches the disk with the folder.
    (void)::fsync(folder_.get());
}

// Not atomic: space is reserved first where the file system can, so a full
// disk is found before the old bytes are touched.
void AtomicSave::writeInPlace(int folderError) {
    Descriptor file = openAt(folder_.get(), base_, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat now {};
    if (!file.isOpen())
        throw failure(QStringLiteral("neither it nor its folder \"%1\" can be written to (%2)")
                          .arg(QFile::decodeName(folderName_), systemReason(folderError)));
    if (::fstat(file.get(), &now) != 0)
        throw failure(errno);
    if (!S_ISREG(now.st_mode))
        throw notRegular(now.st_mode);
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(bytes_.size()) > limit.rlim_cur)
        throw failure(EFBIG);
    if (bytes_.size() > now.st_size && !linux_calls::reserveSpace(file.get(), bytes_.size()))
        throw failure(errno);
    const auto cut = [&](int error) {
        return failure(QStringLiteral("%1; its folder \"%2\" can't be written to, so it was being written in place "
                                      "and may now be incomplete")
                           .arg(systemReason(error), QFile::decodeName(folderName_)));
    };
    if (!writeAll(file.get(), bytes_) || ::ftruncate(file.get(), bytes_.size()) != 0 || ::fsync(file.get()) != 0 ||
        !file.close())
        throw cut(errno);
}

} // namespace

void writeFileAtomically(const QString &path, const QByteArray &bytes) { AtomicSave(path, bytes).run(); }

} // namespace glimmerset
