#pragma once

#include <QIcon>

namespace glimmerset {

// The window's own icon, 16 x 16 and 32 x 32.
QIcon glimmersetIcon();

} // namespace glimmerset
