#pragma once

#include <QByteArray>
#include <QString>

namespace glimmerset {

// Writes bytes beside path and then replaces path with them, so a failure
// part-way leaves any existing file as it was. Throws Error naming the file.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace glimmerset
