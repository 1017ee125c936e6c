#include "storage/descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace glimmerset {

Descriptor::~Descriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

bool Descriptor::close() {
    const int fd = release();
    // Linux frees the descriptor even when close is interrupted.
    return ::close(fd) == 0 || errno == EINTR;
}

Descriptor openAt(int folder, const QByteArray &name, int flags, mode_t mode) {
    int fd = -1;
    do
        fd = ::openat(folder, name.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return Descriptor(fd);
}

} // namespace glimmerset
