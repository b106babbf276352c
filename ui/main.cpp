// Start-up of Sumwright.exe: COM and the common controls, the remembered folder, then the one
// window until it ends. A folder on the command line (Send To, a folder's context menu) is run
// as soon as the window is open; the show state is not used.
#include <objbase.h>
#include <windows.h>

#include "ui/command_line.h"
#include "ui/main_window.h"

namespace {

// The library's own declarations are not used: the program does not import it, so it runs (with
// plain controls) where "COMCTL32.DLL" is missing.
struct CommonControlsInit {
  DWORD size;
  DWORD classes;
};
using InitExFn = BOOL(WINAPI*)(const CommonControlsInit*);
using InitFn = void(WINAPI*)();

constexpr DWORD kAllClasses = 0x000009FF;  // Win95 classes, date and internet controls

template <typename Fn>
Fn lookup(HMODULE library, const char* name) {
  // GetProcAddress returns a generic function pointer; go through void* to the real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

void init_common_controls() {
  const HMODULE library = ::LoadLibraryA("COMCTL32.DLL");
  if (library == nullptr) return;
  if (const auto init_ex = lookup<InitExFn>(library, "InitCommonControlsEx")) {
    const CommonControlsInit init{sizeof(CommonControlsInit), kAllClasses};
    init_ex(&init);
  } else if (const auto init = lookup<InitFn>(library, "InitCommonControls")) {
    init();
  }
  ::FreeLibrary(library);
}

int start_up() {
  init_common_controls();
  sw::ui::MainWindow window;
  window.settings.determine_start_folder();
  window.settings.load();
  // The wide command line: a folder's name may hold what the ANSI code page cannot.
  window.folder_argument = sw::ui::command_argument(::GetCommandLineW());
  sw::ui::SHOWMAINDIALOG(nullptr, window);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  // The folder browser needs a single-threaded apartment on this thread.
  const HRESULT com = ::CoInitialize(nullptr);
  int result = 0;
  try {
    result = start_up();
  } catch (...) {
    // Start-up itself shows nothing; a failure there (no memory for the settings) ends quietly.
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}
