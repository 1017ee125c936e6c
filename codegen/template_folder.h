#pragma once

#include <QString>

namespace glimmerset {

// The folder of a template set shipped by name, "parallel" or "pcf8574":
// in the installation's share folder or, in a build, in templates/ beside
// the executable. Empty when there is no such set.
QString templateSetFolder(const QString &name);

} // namespace glimmerset
