#include "storage/atomic_file.h"

#include "storage/error.h"
#include "storage/regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace glimmerset {

namespace {

// Our own descriptors and temporary file, written with the system calls so
// every failure keeps its errno: QSaveFile of Qt 6.4 renames a short file
// over the old one when the flush inside commit() fails, and its temporary
// name grows past the limit for a long file name.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes now, so a failure to close can be reported; errno on false.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
};

int openRetrying(const QByteArray &name, int flags, mode_t mode = 0) {
    int fd = -1;
    do
        fd = ::open(name.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

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
QByteArray temporaryStem(const QByteArray &folder, const QByteArray &base) {
    constexpr qsizetype kSuffix = 7; // ".XXXXXX"
    long nameMax = ::pathconf(folder.constData(), _PC_NAME_MAX);
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
    void findTarget();
    void writeInPlace(int folderError);
    void replace(Descriptor &temporary, const QByteArray &temporaryName);

    QString path_;
    const QByteArray &bytes_;
    QByteArray target_; // path_ with any symlink followed
    QByteArray folder_;
    bool exists_ = false;
    struct stat old_ {};
};

void AtomicSave::findTarget() {
    target_ = QFile::encodeName(path_);
    exists_ = ::stat(target_.constData(), &old_) == 0;
    if (!exists_ && errno != ENOENT)
        throw failure(errno);
    if (exists_ && S_ISDIR(old_.st_mode))
        throw failure(QStringLiteral("it is a folder"));
    if (exists_ && !S_ISREG(old_.st_mode))
        throw notRegular(old_.st_mode);
    // Replace what a symlink points at, never the link; a dangling one names the file to create.
    if (exists_) {
        if (char *real = ::realpath(target_.constData(), nullptr)) {
            target_ = real;
            ::free(real);
        }
    } else if (QFileInfo(path_).isSymLink()) {
        target_ = QFile::encodeName(QFileInfo(path_).symLinkTarget());
    }
    if (exists_ && ::faccessat(AT_FDCWD, target_.constData(), W_OK, AT_EACCESS) != 0)
        throw failure(errno);
    const qsizetype slash = target_.lastIndexOf('/');
    folder_ = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target_.left(slash);
}

void AtomicSave::run() {
    findTarget();
    const QByteArray base = target_.mid(target_.lastIndexOf('/') + 1);
    const QByteArray stem = folder_ + '/' + temporaryStem(folder_, base);
    QByteArray temporaryName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporaryName = stem + randomSuffix();
        fd = openRetrying(temporaryName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    Descriptor temporary(fd);
    if (!temporary.isOpen()) {
        const int error = errno;
        if (exists_ && (error == EACCES || error == EPERM))
            return writeInPlace(error);
        throw failure(QStringLiteral("can't create a file in the folder \"%1\": %2")
                          .arg(QFile::decodeName(folder_), systemReason(error)));
    }
    try {
        replace(temporary, temporaryName);
    } catch (...) {
        ::unlink(temporaryName.constData());
        throw;
    }
}

void AtomicSave::replace(Descriptor &temporary, const QByteArray &temporaryName) {
    if (!writeAll(temporary.get(), bytes_))
        throw failure(errno);
    if (exists_) {
        // Owner first: changing it clears set-user-ID bits the mode then puts back.
        if (::fchown(temporary.get(), old_.st_uid, old_.st_gid) != 0)
            (void)::fchown(temporary.get(), static_cast<uid_t>(-1), old_.st_gid);
        if (::fchmod(temporary.get(), old_.st_mode & 07777) != 0)
            throw failure(errno);
    }
    if (::fsync(temporary.get()) != 0)
        throw failure(errno);
    if (!temporary.close())
        throw failure(errno);
    if (::rename(temporaryName.constData(), target_.constData()) != 0)
        throw failure(errno);
    // The rename itself reaches the disk with the folder.
    Descriptor folder(openRetrying(folder_, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isOpen())
        (void)::fsync(folder.get());
}

// Not atomic: space is reserved first where the file system can, so a full
// disk is found before the old bytes are touched.
void AtomicSave::writeInPlace(int folderError) {
    Descriptor file(openRetrying(target_, O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat now {};
    if (!file.isOpen())
        throw failure(QStringLiteral("neither it nor its folder \"%1\" can be written to (%2)")
                          .arg(QFile::decodeName(folder_), systemReason(folderError)));
    if (::fstat(file.get(), &now) != 0)
        throw failure(errno);
    if (!S_ISREG(now.st_mode))
        throw notRegular(now.st_mode);
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(bytes_.size()) > limit.rlim_cur)
        throw failure(EFBIG);
    if (bytes_.size() > now.st_size && ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, bytes_.size()) != 0 &&
        (errno == ENOSPC || errno == EDQUOT))
        throw failure(errno);
    const auto cut = [&](int error) {
        return failure(QStringLiteral("%1; its folder \"%2\" can't be written to, so it was being written in place "
                                      "and may now be incomplete")
                           .arg(systemReason(error), QFile::decodeName(folder_)));
    };
    if (!writeAll(file.get(), bytes_) || ::ftruncate(file.get(), bytes_.size()) != 0 || ::fsync(file.get()) != 0 ||
        !file.close())
        throw cut(errno);
}

} // namespace

void writeFileAtomically(const QString &path, const QByteArray &bytes) { AtomicSave(path, bytes).run(); }

} // namespace glimmerset
