#pragma once

#include <QString>

namespace glimmerset {

// The folder of the running executable, symlinks followed, where main.asm
// and rest.asm lie; empty when it can't be found. Ask once, at start: after
// a package upgrade has replaced the executable the question has no answer.
QString executableFolder();

} // namespace glimmerset
