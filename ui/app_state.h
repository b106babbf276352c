// State that lives for the whole process: the remembered folder and the one main window.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "settings.h"

namespace sw::ui {

struct AppState {
  Settings settings;           // start folder and the record of "Checksum.def"
  HWND main_dialog = nullptr;  // set once the dialog and its controls exist, never cleared
  HWND saved_focus = nullptr;  // the control that had the focus when the window turned inactive
  bool running = false;        // a run is between its click and its last step
  bool close_pending = false;  // a close arrived during a run; honoured when the run ends
};

AppState& app();

}  // namespace sw::ui
