#include "save_and_exit.h"

#include "app_state.h"
#include "main_dialog.h"

namespace sw::ui {

void SAVEANDEXIT(HWND window) {
  if (window == app().main_dialog) app().settings.save();
  end_main_dialog(window, 0);
}

}  // namespace sw::ui
