#include "main_dlgproc.h"

#include "app_state.h"
#include "dialog_template.h"
#include "main_dialog.h"
#include "run.h"
#include "run_front_end.h"
#include "save_and_exit.h"

namespace sw::ui {
namespace {

void set_buttons_enabled(HWND dialog, bool enabled) {
  ::EnableWindow(::GetDlgItem(dialog, kSelectButton), enabled);
  ::EnableWindow(::GetDlgItem(dialog, kExitButton), enabled);
}

// One run, from the click to the last prompt. Both buttons stay disabled meanwhile (the
// folder browser and the prompts have no owner, so the window itself stays enabled), and a
// command that reaches the window anyway is ignored while `running` is set.
void run_from_click(HWND dialog) {
  AppState& state = app();
  state.running = true;
  const HWND focus = ::GetFocus();
  set_buttons_enabled(dialog, false);

  WindowRunFrontEnd front_end(state.main_dialog);
  run_job(front_end, &state.settings);

  state.running = false;
  if (state.close_pending) {
    state.close_pending = false;
    end_main_dialog(dialog, 0);
    return;
  }
  set_buttons_enabled(dialog, true);
  // Disabling took the focus away; give it back now or when the window is next activated.
  const HWND restore =
      focus != nullptr && ::IsChild(dialog, focus) ? focus : ::GetDlgItem(dialog, kSelectButton);
  if (::GetActiveWindow() == dialog) {
    ::SetFocus(restore);
  } else {
    state.saved_focus = restore;
  }
}

void on_command(HWND window, WPARAM wparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  if (code != 0 && code != 1) return;  // only clicks and accelerators
  if (app().running) return;
  if (id == kSelectButton) {
    run_from_click(window);
  } else if (id == kExitButton) {
    SAVEANDEXIT(app().main_dialog);
  }
}

void on_activation(WPARAM active) {
  AppState& state = app();
  if (active == 0) {
    // During a run the buttons are disabled and GetFocus is empty: keep what the run put
    // aside for its end.
    if (const HWND focus = ::GetFocus()) state.saved_focus = focus;
  } else if (state.saved_focus != nullptr) {
    const HWND focus = state.saved_focus;
    state.saved_focus = nullptr;
    if (::IsWindowEnabled(focus))
      ::SetFocus(focus);
    else
      state.saved_focus = focus;
  }
}

}  // namespace

INT_PTR MAINDLGPROC(HWND window, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
  switch (message) {
    case WM_INITDIALOG: {
      const HWND dialog = app().main_dialog;
      ::SetDlgItemTextA(dialog, kFileCaption, "File");
      ::SetDlgItemTextA(dialog, kCrcCaption, "CRC");
      ::SetDlgItemTextA(dialog, kFileLabel, "");
      ::SetDlgItemTextA(dialog, kCrcLabel, "");
      return 0;
    }
    case WM_NCACTIVATE:
      on_activation(wparam);
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE && app().running) {
        app().close_pending = true;
        return TRUE;
      }
      return 0;
    case WM_COMMAND:
      on_command(window, wparam);
      return 0;
    default:
      return 0;
  }
}

}  // namespace sw::ui
