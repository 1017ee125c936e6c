#pragma once

#include <QString>

#include <stdexcept>

namespace glimmerset {

// The one failure type: its message is meant for the user, as it stands.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    QString message() const;
};

} // namespace glimmerset
