// What a run from the window reads and writes: everything in the chosen folder, the comparison
// asked for, and a place for the comparison when the folder cannot take it.
#pragma once

#include <string>

#include "core/run.h"

namespace sw::ui {

// The user's temporary folder (native form, ending in the separator), or "" when the system
// names none.
std::string user_temporary_folder();

// The plan of every run the window starts: the default plan, stopped by `stop`, with the user's
// temporary folder taking a comparison that cannot be written into the folder (read-only media),
// so the user still sees it.
RunPlan window_run_plan(const StopRequest& stop);

}  // namespace sw::ui
