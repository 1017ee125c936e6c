#pragma once

#include <QByteArray>
#include <QString>

namespace glimmerset {

// The bytes of an .asm file: the code buffer, then CR LF, in Windows-1252;
// characters Windows-1252 lacks become '?'.
QByteArray asmFileBytes(const QString &codeBuffer);

// The code buffer, then CR LF, Windows-1252, written atomically. Characters
// Windows-1252 lacks become '?'. Throws Error naming the file and the reason.
void write_asm_file(const QString &path, const QString &codeBuffer);

} // namespace glimmerset
