#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

namespace glimmerset {

// Opens path for reading, symlinks followed, only when it is a regular file.
// Never blocks: a FIFO without a writer is refused, not waited on. Throws
// Error naming the file and the reason.
std::unique_ptr<QFile> openRegularFileForReading(const QString &path);

// The whole of the regular file at path, when it holds at most maxBytes;
// else Error saying it is over them and too large to be what.
QByteArray readRegularFile(const QString &path, qint64 maxBytes, const QString &what);

// The process's standard input, which the command line reads for a path
// of "-"; it stays open when the QFile goes.
std::unique_ptr<QFile> openStandardInput();
inline constexpr char kStandardInputName[] = "(standard input)";

} // namespace glimmerset
