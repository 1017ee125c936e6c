// The one symbol of glimmerset-verify.so, which glimmerset-cli loads only for
// verify: the simulator and the picture's libraries stay out of every other run.

#include "cli/commands.h"

extern "C" __attribute__((visibility("default"))) int glimmersetVerifyCommand(const QStringList &arguments) {
    return glimmerset::cli::verifyCommand(arguments);
}
