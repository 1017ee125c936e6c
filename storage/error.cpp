#include "storage/error.h"

#include <sys/stat.h>

#include <system_error>

namespace glimmerset {

Error::Error(const QString &message) : std::runtime_error(message.toStdString()) {}

QString Error::message() const { return QString::fromStdString(what()); }

QString systemReason(int error) { return QString::fromStdString(std::generic_category().message(error)); }

QString fileKindName(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISLNK(mode))
        return QStringLiteral("a symlink");
    return QStringLiteral("a special file");
}

QString quoted(QStringView text) {
    constexpr qsizetype kShown = 60;
    if (text.size() <= kShown)
        return u'"' + text.toString() + u'"';
    qsizetype cut = kShown;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return u'"' + text.first(cut).toString() + QStringLiteral("...\" (%1 characters)").arg(text.size());
}

} // namespace glimmerset
