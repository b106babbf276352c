#include "ui/main_window.h"

#include <exception>
#include <new>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/folder_picker.h"
#include "ui/run_front_end.h"
#include "ui/window_plan.h"

namespace sw::ui {
namespace {

MainWindow* state_of(HWND dialog) {
  return reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(dialog, DWLP_USER));
}

// Sends WM_CLOSE, re-enables the owner, records the result of the modal run and destroys the
// window, which ends the modal loop.
void end_main_dialog(MainWindow& window, INT_PTR result) {
  const HWND dialog = window.dialog;
  ::SendMessageA(dialog, WM_CLOSE, 0, 0);
  if (const HWND owner = ::GetWindow(dialog, GW_OWNER)) ::EnableWindow(owner, TRUE);
  window.end_result = result;
  ::DestroyWindow(dialog);
}

void set_buttons_enabled(HWND dialog, bool enabled) {
  ::EnableWindow(::GetDlgItem(dialog, kSelectButton), enabled);
  ::EnableWindow(::GetDlgItem(dialog, kExitButton), enabled);
}

void set_initial_texts(HWND dialog) {
  ::SetDlgItemTextA(dialog, kFileCaption, "File");
  ::SetDlgItemTextA(dialog, kCrcCaption, "CRC");
  ::SetDlgItemTextA(dialog, kFileLabel, "");
  ::SetDlgItemTextA(dialog, kCrcLabel, "");
}

// A label's colours come from the layout table; a control without a colour of its own gets the
// dialog manager's default.
INT_PTR label_colours(HWND label, HDC dc) {
  const int id = ::GetDlgCtrlID(label);
  for (const ControlLayout& c : kMainControls) {
    if (c.id != id || !c.text_colour) continue;
    ::SetTextColor(dc, *c.text_colour);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
  }
  return FALSE;
}

// Keeps the focus across deactivation: the control that had it gets it back, once.
void on_activation(MainWindow& window, WPARAM active) {
  if (active == 0) {
    // During a run the buttons are disabled and GetFocus is empty: keep what the run put
    // aside for its end.
    if (const HWND focus = ::GetFocus()) window.saved_focus = focus;
  } else if (window.saved_focus != nullptr) {
    const HWND focus = window.saved_focus;
    window.saved_focus = nullptr;
    if (::IsWindowEnabled(focus))
      ::SetFocus(focus);
    else
      window.saved_focus = focus;
  }
}

void on_command(MainWindow& window, WPARAM wparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  if (code != 0 && code != 1) return;  // only clicks and accelerators
  // The folder browser and the prompts have no owner, so the buttons of a disabled window can
  // still be reached through them; a command during a run is ignored.
  if (window.running) return;
  if (id == kSelectButton) {
    WindowRunFrontEnd front_end(window.dialog);
    run_from_click(window, [&window, &front_end] { run_selected_folder(window, front_end); });
  } else if (id == kExitButton) {
    SAVEANDEXIT(window.dialog);
  }
}

INT_PTR handle_message(MainWindow& window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      set_initial_texts(window.dialog);
      return FALSE;
    case WM_NCACTIVATE:
      on_activation(window, wparam);
      return FALSE;
    case WM_COMMAND:
      on_command(window, wparam);
      return FALSE;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != SC_CLOSE) return FALSE;
      // The close box ends the window without saving; during a run, once the run is over.
      if (window.running) {
        window.close_pending = true;
      } else {
        end_main_dialog(window, 0);
      }
      return TRUE;
    case WM_CLOSE:
      // The dialog manager would turn it into the Cancel command; ending is done by
      // end_main_dialog alone.
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return label_colours(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam));
    default:
      return FALSE;
  }
}

void create_controls(HWND dialog, HINSTANCE instance) {
  const auto font = static_cast<WPARAM>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
  for (const ControlLayout& c : kMainControls) {
    RECT rect = {c.x, c.y, c.x + c.cx, c.y + c.cy};
    ::MapDialogRect(dialog, &rect);
    const HWND control =
        ::CreateWindowExA(0, c.window_class, c.caption, c.style, rect.left, rect.top,
                          rect.right - rect.left, rect.bottom - rect.top, dialog,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    ::SendMessageA(control, WM_SETFONT, font, TRUE);
  }
}

void run_modal(HWND dialog) {
  while (::IsWindow(dialog)) {
    MSG msg;
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for an outer loop
      break;
    }
    if (got < 0) break;
    if (!::IsDialogMessageA(dialog, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
}

// Saves the remembered folder; a file that cannot be written is said in a box (a start folder
// marked read-only is never written, by design, and says nothing).
void save_settings(const Settings& settings) {
  fs::SysError why;
  if (settings.save(&why) != Settings::Saved::kFailed) return;
  const std::string text = settings_failure_text(fs::best_listing_form(settings.file_path()), why);
  ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

std::string run_failure_text(std::string_view what_failed) {
  std::string text = "The run stopped before its end: ";
  text += what_failed;
  text += ".\r\nA file it had not yet written is unchanged.";
  return text;
}

void remember_folder(Settings& settings, const std::string& chosen) {
  settings.store_folder(fs::best_listing_form(remembered_form(chosen)));
  save_settings(settings);
}

std::string remembered_form(const std::string& chosen) {
  // The record's padding is blanks and is trimmed away: a closing blank of the folder's own
  // name is kept by the separator after it.
  return !chosen.empty() && chosen.back() == ' ' ? fs::folder_path(chosen) : chosen;
}

void run_selected_folder(MainWindow& window, RunFrontEnd& front_end) {
  const std::string initial = browser_start(window.settings.remembered_folder());
  const std::string chosen = BROWSEFOLDER(nullptr, kBrowseTitle, initial);
  if (chosen.empty()) return;
  remember_folder(window.settings, chosen);
  fs::Folder folder;
  fs::SysError error;
  if (!folder.open(fs::folder_path(chosen), &error)) {
    const std::string text = folder_open_failure_text(fs::best_listing_form(chosen), error);
    ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  run_folder(front_end, folder, window_run_plan());
}

void run_from_click(MainWindow& window, const std::function<void()>& run) {
  const HWND dialog = window.dialog;
  window.running = true;
  const HWND focus = ::GetFocus();
  set_buttons_enabled(dialog, false);

  // Nothing may unwind through the system's frames that called the dialog procedure, and the
  // window must come back usable whatever happened in the run.
  const char* failure = nullptr;
  std::string reason;
  try {
    run();
  } catch (const std::bad_alloc&) {
    failure = "there was not enough memory";
  } catch (const std::exception& e) {
    failure = "an internal error occurred";
    try {
      reason = std::string(failure) + " (" + e.what() + ")";
    } catch (...) {
    }
  } catch (...) {
    failure = "an internal error occurred";
  }
  window.running = false;
  if (failure != nullptr) {
    try {
      const std::string text = run_failure_text(reason.empty() ? failure : reason);
      ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
    } catch (...) {
      ::MessageBoxA(nullptr, failure, kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
    }
  }

  if (window.close_pending) {
    window.close_pending = false;
    end_main_dialog(window, 0);
    return;
  }
  set_buttons_enabled(dialog, true);
  // Disabling took the focus away; give it back now or when the window is next activated.
  const HWND restore =
      focus != nullptr && ::IsChild(dialog, focus) ? focus : ::GetDlgItem(dialog, kSelectButton);
  if (::GetActiveWindow() == dialog) {
    ::SetFocus(restore);
  } else {
    window.saved_focus = restore;
  }
}

INT_PTR CALLBACK MAINDLGPROC(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  MainWindow* window = state_of(dialog);
  if (window == nullptr) return FALSE;
  try {
    return handle_message(*window, message, wparam, lparam);
  } catch (...) {
    return FALSE;  // the run has its own barrier; this one keeps the system's frames safe
  }
}

void SAVEANDEXIT(HWND dialog) {
  MainWindow* window = state_of(dialog);
  if (window == nullptr) return;
  save_settings(window->settings);
  end_main_dialog(*window, 0);
}

HWND create_main_window(HWND parent, MainWindow& window) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  const std::vector<WORD> tmpl = build_dialog_template(kMainDialog);
  const HWND dialog = ::CreateDialogIndirectParamA(
      instance, reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()), parent, &MAINDLGPROC, 0);
  if (dialog == nullptr) return nullptr;
  ::SetWindowTextA(dialog, kMainDialog.caption);
  create_controls(dialog, instance);
  window.dialog = dialog;
  window.end_result = 0;
  ::SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&window));

  MAINDLGPROC(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
  RECT client;
  ::GetClientRect(dialog, &client);
  MAINDLGPROC(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  return dialog;
}

INT_PTR SHOWMAINDIALOG(HWND parent, MainWindow& window) {
  const HWND dialog = create_main_window(parent, window);
  if (dialog == nullptr) return -1;
  ::ShowWindow(dialog, SW_SHOW);
  run_modal(dialog);
  return window.end_result;
}

}  // namespace sw::ui
