#pragma once

#include <QFont>

namespace glimmerset {

// Close to the 8-point sans serif the layout was drawn for; every caption
// fits. The whole application uses it, so dialogs and message boxes match
// the window.
QFont windowFont();

} // namespace glimmerset
