#pragma once

#include <QByteArray>

#include <fcntl.h>
#include <sys/types.h>

namespace glimmerset {

// A file descriptor of our own, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    ~Descriptor();
    Descriptor(Descriptor &&other) noexcept : fd_(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Handed to another owner, which closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now, so a failure to close can be reported; errno on false.
    bool close();

private:
    int fd_;
};

// openat(2), tried again when a signal interrupts it; folder may be AT_FDCWD.
// Not open on failure, with errno set.
Descriptor openAt(int folder, const QByteArray &name, int flags, mode_t mode = 0);

} // namespace glimmerset
