// The report printed at the end of a run, and the exit status it stands for.
#pragma once

#include <string>

#include "core/run.h"

namespace sw::cli {

enum ExitStatus : int { kExitDone = 0, kExitDifferences = 1, kExitTrouble = 2 };

std::string summary_text(const RunReport& report, double seconds);

ExitStatus exit_status(const RunReport& report);

}  // namespace sw::cli
