#include "storage/error.h"

namespace glimmerset {

Error::Error(const QString &message) : std::runtime_error(message.toStdString()) {}

QString Error::message() const { return QString::fromStdString(what()); }

} // namespace glimmerset
