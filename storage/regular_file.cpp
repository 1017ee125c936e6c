#include "storage/regular_file.h"

#include "storage/descriptor.h"
#include "storage/error.h"

#include <QFile>

#include <sys/stat.h>

#include <unistd.h>

#include <cerrno>

namespace glimmerset {

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
    Descriptor fd = openAt(AT_FDCWD, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (!fd.isOpen())
        throw failure(systemReason(errno));
    if (::fstat(fd.get(), &st) != 0)
        throw failure(systemReason(errno));
    if (!S_ISREG(st.st_mode))
        throw notRegular(st.st_mode);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);

    auto file = std::make_unique<QFile>();
    if (!file->open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw failure(file->errorString());
    fd.release();
    return file;
}

QByteArray readRegularFile(const QString &path, qint64 maxBytes, const QString &what) {
    const auto file = openRegularFileForReading(path);
    // The read is bounded too: the file may grow after the size was taken.
    const QByteArray bytes = file->size() > maxBytes ? QByteArray() : file->read(maxBytes + 1);
    if (file->error() != QFile::NoError)
        throw Error(QStringLiteral("Can't read \"%1\": %2.").arg(path, file->errorString()));
    if (file->size() > maxBytes || bytes.size() > maxBytes)
        throw Error(QStringLiteral("\"%1\" is over %2 MiB: too large to be %3.")
                        .arg(path, QString::number(maxBytes >> 20), what));
    return bytes;
}

std::unique_ptr<QFile> openStandardInput() {
    auto file = std::make_unique<QFile>();
    if (!file->open(STDIN_FILENO, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        throw Error(QStringLiteral("Can't read the standard input: %1.").arg(file->errorString()));
    return file;
}

} // namespace glimmerset
