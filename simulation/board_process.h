#pragma once

#include "simulation/simulated_board.h"

namespace glimmerset {

// simulateBoard in a child process, its BoardRun sent back through a pipe:
// whatever simavr does wrong stays in the child. Throws Error when the child
// can't be started or ends without a result, saying how it ended.
BoardRun runOnBoard(const ProgramFile &program, const BoardConfig &config, double seconds);

} // namespace glimmerset
