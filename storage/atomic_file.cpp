#include "storage/atomic_file.h"

#include "storage/error.h"

#include <QFileInfo>
#include <QSaveFile>

namespace glimmerset {

void writeFileAtomically(const QString &path, const QByteArray &bytes) {
    writeFileAtomically(path, bytes, [](QIODevice &device, const QByteArray &b) { return device.write(b); });
}

void writeFileAtomically(const QString &path, const QByteArray &bytes, const AtomicWrite &write) {
    const auto failure = [&](const QString &reason) {
        return Error(QStringLiteral("Can't write \"%1\": %2.").arg(path, reason));
    };
    if (QFileInfo(path).isDir())
        throw failure(QStringLiteral("it is a folder"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw failure(file.errorString());
    if (write(file, bytes) != bytes.size()) {
        QString reason = file.errorString();
        if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
            reason = QStringLiteral("the write stopped part-way");
        file.cancelWriting();
        throw failure(reason);
    }
    if (!file.commit())
        throw failure(file.errorString());
}

} // namespace glimmerset
