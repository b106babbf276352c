#include "common_controls.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace sw::ui {
namespace {

// The library's own declarations are not used: the program does not import it.
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

}  // namespace

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

}  // namespace sw::ui
