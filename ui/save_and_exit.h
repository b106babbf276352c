// The "Exit" button: remember the folder, then end the main window.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace sw::ui {

// Saves the settings record when `window` is the main dialog, then ends `window` with 0.
void SAVEANDEXIT(HWND window);

}  // namespace sw::ui
