// The whole command once its options are known: one folder, or every folder of a tree, each
// run through the same sequence as the window's, with the summary or JSON Lines after.
#pragma once

#include "cli/options.h"
#include "cli/summary.h"
#include "core/stop.h"

namespace sw::cli {

// Opens the folder, runs it (or every folder of its tree), prints; the exit status of the whole
// command. `stop` ends the run (a signal, or a standard output that can no longer be written:
// then it is made here): whatever was not yet written stays as it was, and the status is
// kExitTrouble.
ExitStatus run_command(const Options& options, bool stdin_is_terminal, bool stderr_is_terminal,
                       StopRequest& stop);

}  // namespace sw::cli
