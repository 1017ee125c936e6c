#include "codegen/asm_file.h"

#include "storage/atomic_file.h"
#include "storage/windows1252.h"

namespace glimmerset {

QByteArray asmFileBytes(const QString &codeBuffer) {
    // The assembler reads ASCII and names only reach comment lines, so '?' is harmless.
    QByteArray bytes = windows1252::encodeLossy(codeBuffer);
    bytes += "\r\n";
    return bytes;
}

void write_asm_file(const QString &path, const QString &codeBuffer) {
    writeFileAtomically(path, asmFileBytes(codeBuffer));
}

} // namespace glimmerset
