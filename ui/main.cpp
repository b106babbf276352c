// Start-up of Sumwright.exe: COM and the common controls, the remembered folder, then the one
// window until it ends. The command line and the show state are not used.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <objbase.h>
#include <windows.h>

#include "app_state.h"
#include "common_controls.h"
#include "main_dialog.h"

namespace {

int start_up() {
  sw::ui::init_common_controls();
  sw::ui::AppState& state = sw::ui::app();
  state.settings.determine_start_folder();
  state.settings.load();
  sw::ui::SHOWMAINDIALOG(nullptr);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  // The folder browser needs a single-threaded apartment on this thread.
  const HRESULT com = ::CoInitialize(nullptr);
  const int result = start_up();
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}
