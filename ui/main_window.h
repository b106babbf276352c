// The one main window: the state it keeps, its dialog procedure and its entry function.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "core/run.h"
#include "core/settings.h"

namespace sw::ui {

// Everything the main window keeps while it lives. The window reaches it through its DWLP_USER
// slot, so none of it is a process global.
struct MainWindow {
  Settings settings;           // start folder and the record of "Checksum.def"
  HWND dialog = nullptr;       // set once the dialog and its controls exist
  HWND saved_focus = nullptr;  // the control that had the focus when the window turned inactive
  bool running = false;        // a run is between its click and its last step
  bool close_pending = false;  // a close arrived during a run; carried out when the run ends
  INT_PTR end_result = 0;      // the value of the modal run
};

// Builds the dialog and its six controls for `window` and runs it modally on this thread until it
// ends; returns the end result, or -1 when the dialog cannot be created. The window is destroyed
// before this returns.
INT_PTR SHOWMAINDIALOG(HWND parent, MainWindow& window);

// The first half of SHOWMAINDIALOG: the dialog and its controls, still hidden, with `window`
// attached and the labels set. Null when the system cannot create it.
HWND create_main_window(HWND parent, MainWindow& window);

// The main window's dialog procedure. Messages that arrive before the state is attached (while
// the dialog is being built) get the dialog manager's defaults.
INT_PTR CALLBACK MAINDLGPROC(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// "Exit": saves the settings record when `dialog` is the main window, then ends it with 0.
void SAVEANDEXIT(HWND dialog);

// What a click on "Select Directory" does: the browser starts at the remembered folder (or
// kDefaultInitialFolder); the chosen folder is remembered before anything is read, then opened
// and run. A cancelled choice changes nothing.
void run_selected_folder(MainWindow& window, RunFrontEnd& front_end);

// Remembers the chosen folder (native form) in the settings record and saves it: in the listing
// form, by a path that still names the folder where there is one.
void remember_folder(Settings& settings, const std::string& chosen);

// The chosen folder as the record keeps it: a name that ends in a blank with its closing
// separator, so that the record's trimming cannot turn it into its neighbour.
std::string remembered_form(const std::string& chosen);

// Runs `run` for a click. Both buttons stay disabled until it ends and are given back however it
// ends; a run that fails part-way is reported in a box saying what failed.
void run_from_click(MainWindow& window, const std::function<void()>& run);

// The text of that box.
std::string run_failure_text(std::string_view what_failed);

}  // namespace sw::ui
