#pragma once

#include <QString>

#include <sys/types.h>

#include <stdexcept>

namespace glimmerset {

// The one failure type: its message is meant for the user, as it stands.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    QString message() const;
};

// The words messages share.

// The system's words for errno, as strerror gives them.
QString systemReason(int error);

// What a file that is not a regular one is: "a folder", "a FIFO", "a device",
// "a socket", "a symlink".
QString fileKindName(mode_t mode);

// text in double quotes, cut to a length a message box or a terminal line can
// show: a field may be hundreds of kilobytes long.
QString quoted(QStringView text);

} // namespace glimmerset
