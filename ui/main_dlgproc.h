// The controller of the main window: label texts, focus keeping, and the run behind
// "Select Directory".
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace sw::ui {

// Called first for every message of the main dialog. Returns 0, so the dialog's defaults
// follow, except for a close that arrives during a run: that one is held back (nonzero) and
// carried out when the run ends.
INT_PTR MAINDLGPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace sw::ui
