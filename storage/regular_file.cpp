#include "storage/regular_file.h"

#include "storage/error.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace glimmerset {

QString fileKindName(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

QString systemReason(int error) { return QString::fromStdString(std::generic_category().message(error)); }

std::unique_ptr<QFile> openRegularFileForReading(const QString &path) {
    const auto failure = [&](const QString &reason) {
        return Error(QStringLiteral("Can't open \"%1\" for reading: %2.").arg(path, reason));
    };
    const auto notRegular = [&](mode_t mode) {
        if (S_ISDIR(mode))
            return failure(QStringLiteral("it is a folder"));
        return failure(QStringLiteral("it is %1, not a regular file").arg(fileKindName(mode)));
    };
    const QByteArray name = QFile::encodeName(path);
    // Looked at first so a device is refused without being opened at all.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        throw failure(systemReason(errno));
    if (!S_ISREG(st.st_mode))
        throw notRegular(st.st_mode);

    // Non-blocking, so whatever took its place meanwhile can't make open() wait.
    int fd = -1;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw failure(systemReason(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        ::close(fd);
        throw S_ISREG(st.st_mode) ? failure(systemReason(error)) : notRegular(st.st_mode);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw failure(file->errorString());
    }
    return file;
}

} // namespace glimmerset
