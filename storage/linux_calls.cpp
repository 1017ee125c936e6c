// Linux only: fallocate and madvise; other systems get the no-ops below.

#include "storage/linux_calls.h"

#include <cerrno>
#include <cstdint>

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#endif

namespace glimmerset::linux_calls {

bool reserveSpace(int fd, qint64 length) {
#ifdef __linux__
    // Other failures (a file system that can't reserve) just leave the check to the write.
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0 || (errno != ENOSPC && errno != EDQUOT);
#else
    Q_UNUSED(fd);
    Q_UNUSED(length);
    return true;
#endif
}

void adviseHugePages(const void *begin, qsizetype bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = 2 << 20;
    // Blocks this large get a mapping of their own from malloc, so advice given
    // about one ends with it.
    constexpr qsizetype kOwnMapping = qsizetype(32) << 20;
    if (bytes < kOwnMapping)
        return;
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kHugePage - 1) & ~(kHugePage - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(begin) + std::uintptr_t(bytes)) & ~(kHugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(begin);
    Q_UNUSED(bytes);
#endif
}

} // namespace glimmerset::linux_calls
