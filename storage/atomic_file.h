#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace glimmerset {

// Writes bytes beside path and then replaces path with them, so a failure
// part-way leaves any existing file as it was. Throws Error naming the file.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// The same with the write itself handed in, so tests can make it fail part-way.
// write returns the number of bytes written, as QIODevice::write does.
using AtomicWrite = std::function<qint64(QIODevice &, const QByteArray &)>;
void writeFileAtomically(const QString &path, const QByteArray &bytes, const AtomicWrite &write);

} // namespace glimmerset
