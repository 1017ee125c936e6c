#pragma once

#include <QString>

#include <sys/types.h>

#include <memory>

class QFile;

namespace glimmerset {

// What a file that is not a regular one is, for messages: "a folder",
// "a FIFO", "a device", "a socket".
QString fileKindName(mode_t mode);

// Opens path for reading, symlinks followed, only when it is a regular file.
// Never blocks: a FIFO without a writer is refused, not waited on. Throws
// Error naming the file and the reason.
std::unique_ptr<QFile> openRegularFileForReading(const QString &path);

// The system's words for errno, as strerror gives them.
QString systemReason(int error);

} // namespace glimmerset
