#pragma once

#include <QByteArray>
#include <QString>

namespace glimmerset {

// Writes bytes to a new file beside path, then renames it over path, so a
// failure at any byte leaves an existing file as it was and nothing beside
// it. A symlink is followed; a replaced file keeps its mode bits and, where
// the process may set them, its owner and group. A folder, device, FIFO or
// socket is refused untouched. A writable file in a folder that isn't is
// written in place, as that is the only way to save it at all. Throws Error
// naming the file (or the folder) and the system's reason.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace glimmerset
