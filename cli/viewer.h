// Starting the desktop's viewer on a file without waiting for it.
#pragma once

#include <string>

namespace sw::cli {

// "open" on macOS, "xdg-open" elsewhere.
const char* viewer_program();

// Starts the viewer on `path` and returns at once. On failure returns false and puts the
// system's reason into `error`.
bool start_viewer(const std::string& path, std::string* error);

}  // namespace sw::cli
