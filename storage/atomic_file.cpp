#include "storage/atomic_file.h"

#include "storage/error.h"

#include <QFileInfo>
#include <QSaveFile>

namespace glimmerset {

void writeFileAtomically(const QString &path, const QByteArray &bytes) {
    const auto failure = [&](const QString &reason) {
        return Error(QStringLiteral("Can't write \"%1\": %2.").arg(path, reason));
    };
    if (QFileInfo(path).isDir())
        throw failure(QStringLiteral("it is a folder"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw failure(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw failure(reason);
    }
    if (!file.commit())
        throw failure(file.errorString());
}

} // namespace glimmerset
