// JSON Lines for scripts (--json): one object per folder, then one for the run.
//
// Names and paths are bytes. One that is valid UTF-8 is written as a JSON string; one that is
// not is written with U+FFFD for every byte that is not part of a character, and beside it a
// member of the same name with "_hex" appended holds its bytes in hexadecimal, so nothing is
// lost ("name" and "name_hex", "path" and "path_hex", ...). A folder lists at most 100,000
// entries; "entries_left_out" counts the rest.
#pragma once

#include <string>

#include "cli/summary.h"
#include "core/run.h"

namespace sw::cli {

// One line: the folder's path, listing, counts, files, bytes, seconds, every entry of the
// comparison that is not "OK" or "Skipped" (name, status, old and new CRC), the files that
// could not be read, the new files and the exit status this folder alone would give.
std::string folder_json(const RunReport& report, double seconds, ExitStatus status,
                        const std::string& problem);

// The closing line: the sums over every folder and the exit status of the run.
std::string run_json(const TreeTotals& totals);

}  // namespace sw::cli
