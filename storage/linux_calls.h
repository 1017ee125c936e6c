#pragma once

#include <QtGlobal>

// Calls only Linux offers. Elsewhere each does nothing, which is always safe:
// they make a failure come earlier or memory come cheaper, nothing more.
namespace glimmerset::linux_calls {

// Reserves the first length bytes of fd's file on the disk without changing
// its size. False, with errno, only when the disk or the quota is full.
bool reserveSpace(int fd, qint64 length);

// Asks for 2 MiB pages under a block malloc mapped on its own; only advice.
void adviseHugePages(const void *begin, qsizetype bytes);

} // namespace glimmerset::linux_calls
