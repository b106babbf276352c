// The one main window: the state it keeps, its dialog procedure and its entry function.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "core/settings.h"
#include "ui/background_run.h"
#include "ui/run_display.h"

namespace sw::ui {

// Everything the main window keeps while it lives. The window reaches it through its DWLP_USER
// slot, so none of it is a process global.
struct MainWindow {
  Settings settings;           // start folder and the record of "Checksum.def"
  HWND dialog = nullptr;       // set once the dialog and its controls exist
  HWND saved_focus = nullptr;  // the control that had the focus when the window turned inactive
  // A run is between its start (the click, the folder browser included) and its end.
  bool running = false;
  bool close_pending = false;  // a close arrived during a run; carried out when the run ends
  bool settings_failure_said = false;  // the box that "Checksum.def" cannot be saved was shown
  INT_PTR end_result = 0;              // the value of the modal run
  // The folder the program was started with (Send To, a folder's context menu), run as soon as
  // the window is open.
  std::optional<std::wstring> folder_argument;
  // While the job works on its own thread: the thread, and what the window shows of it.
  std::unique_ptr<BackgroundRun> job;
  std::unique_ptr<RunDisplay> display;
  HWND focus_before_run = nullptr;  // given back when the run ends
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

// The start of a run: both buttons disabled, the focus put aside for its end.
void begin_run(MainWindow& window);

// Starts `job` on a thread of its own for a run that begin_run began; the window shows its
// progress until kRunEndedMessage ends it (end_run). Throws when no thread can be had; nothing
// has started then.
void start_job(MainWindow& window, BackgroundRun::Job job);

// The end of a run, however it ended: the thread waited for, the caption and the taskbar
// button plain again, a failure's box, then the buttons and the focus given back, or the
// window closed when a close came during the run.
void end_run(MainWindow& window);

// What a click on "Select Directory" does, on the window's thread: the browser starts at the
// remembered folder (or kDefaultInitialFolder); the chosen folder is remembered before
// anything is read, then opened and run on the job's thread. A cancelled choice changes
// nothing.
void run_selected_folder(MainWindow& window);

// The same for the folder the program was started with, without the browser: opened on the
// job's thread, and remembered once it is known to be a folder. One that is not is named in a
// box, and nothing changes.
void run_argument_folder(MainWindow& window, const std::wstring& argument);

// Remembers the chosen folder (native form) in the settings record and saves it: in the listing
// form, by a path that still names the folder where there is one. A folder longer than the record
// leaves the record as it was. A failure to save is said in a box, and with `failure_said` only
// the first time.
void remember_folder(Settings& settings, const std::string& chosen, bool* failure_said = nullptr);

// The chosen folder as the record keeps it: a name that ends in a blank with its closing
// separator, so that the record's trimming cannot turn it into its neighbour.
std::string remembered_form(const std::string& chosen);

}  // namespace sw::ui
