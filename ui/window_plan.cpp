#include "ui/window_plan.h"

#include <windows.h>

#include "core/os/fs.h"
#include "core/os/fs_win32.h"

namespace sw::ui {

std::string user_temporary_folder() {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return fs::folder_path(fs::native_of(path));
    }
    path.resize(n + 1);  // n is the length needed, terminator included or not
  }
}

RunPlan window_run_plan(const StopRequest& stop) {
  RunPlan plan;
  plan.stop = &stop;
  plan.comparison_fallback_folder = user_temporary_folder();
  return plan;
}

}  // namespace sw::ui
