#include "ui/main_window.h"

#include <string_view>
#include <utility>
#include <vector>

#include "core/run.h"
#include "ui/command_line.h"
#include "ui/dialog_template.h"
#include "ui/folder_picker.h"
#include "ui/run_front_end.h"
#include "ui/run_messages.h"
#include "ui/window_plan.h"
#include "ui/window_tree.h"

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

// Answers a box or the folder browser of this thread, as a user who says no (or cancels, or
// reads it) would.
BOOL CALLBACK answer_open_box(HWND box, LPARAM main_window) {
  char window_class[16] = {};
  if (box == reinterpret_cast<HWND>(main_window) || !::IsWindowVisible(box) ||
      ::GetClassNameA(box, window_class, sizeof window_class) == 0 ||
      std::string_view(window_class) != "#32770")
    return TRUE;
  for (const int button : {IDNO, IDCANCEL, IDOK}) {
    if (const HWND control = ::GetDlgItem(box, button)) {
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
      break;
    }
  }
  return TRUE;
}

// The close box, or "Exit" while the job works: the job stops at its next step or piece of a
// file and writes nothing more, a box or the folder browser that is open is answered no, and the
// window closes once the job's thread has ended: within a second, whatever was open.
void close_during_run(MainWindow& window) {
  window.close_pending = true;
  if (window.job) window.job->request_stop();
  ::EnumThreadWindows(::GetCurrentThreadId(), &answer_open_box,
                      reinterpret_cast<LPARAM>(window.dialog));
}

// What the window's thread does to start a run (the browser, the remembering) can fail too:
// the run then ends with its box, as one that fails on the job's thread does.
template <typename Start>
void start_guarded(MainWindow& window, Start start) {
  try {
    start();
  } catch (...) {
    const RunFailure failure = current_failure();
    window.job.reset();
    window.display.reset();
    show_failure_box(failure);
    end_run(window);
  }
}

void on_command(MainWindow& window, WPARAM wparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  if (code != 0 && code != 1) return;  // only clicks and accelerators
  if (id == kExitButton && window.job) {
    // "Exit" would save the remembered folder; a stopped run leaves "Checksum.def" as it is.
    close_during_run(window);
    return;
  }
  // The folder browser and the prompts have no owner, so the buttons of a disabled window can
  // still be reached through them; any other command during a run is ignored.
  if (window.running) return;
  if (id == kSelectButton) {
    begin_run(window);
    start_guarded(window, [&window] { run_selected_folder(window); });
  } else if (id == kExitButton) {
    SAVEANDEXIT(window.dialog);
  }
}

void on_argument(MainWindow& window) {
  if (!window.folder_argument || window.running) return;
  const std::wstring argument = std::move(*window.folder_argument);
  window.folder_argument.reset();
  begin_run(window);
  start_guarded(window, [&window, &argument] { run_argument_folder(window, argument); });
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
        close_during_run(window);
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
    case kRunProgressMessage:
      // A post may arrive after its run has ended: nothing is shown then.
      if (window.job && window.display) window.display->update(window.job->progress());
      return TRUE;
    case kRunCallMessage:
      // A close that came first: nothing more is shown or asked.
      make_window_call(lparam, window.close_pending);
      return TRUE;
    case kRunEndedMessage:
      if (window.job) end_run(window);
      return TRUE;
    case kRunArgumentMessage:
      on_argument(window);
      return TRUE;
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

// Saves the remembered folder; a file that cannot be written is said in a box, once a start of the
// program (`said`): the folder is remembered for the session all the same, and a box at every
// choice would only be noise. A start folder marked read-only is never written, by design, and
// says nothing.
void save_settings(const Settings& settings, bool* said) {
  fs::SysError why;
  if (settings.save(&why) != Settings::Saved::kFailed) return;
  if (said != nullptr && std::exchange(*said, true)) return;
  const std::string text = settings_failure_text(fs::best_listing_form(settings.file_path()), why);
  ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void remember_folder(Settings& settings, const std::string& chosen, bool* failure_said) {
  // A folder longer than the record keeps the one remembered before; the run goes on.
  if (settings.store_folder(fs::best_listing_form(remembered_form(chosen))))
    save_settings(settings, failure_said);
}

std::string remembered_form(const std::string& chosen) {
  // The record's padding is blanks and is trimmed away: a closing blank of the folder's own
  // name is kept by the separator after it.
  return !chosen.empty() && chosen.back() == ' ' ? fs::folder_path(chosen) : chosen;
}

namespace {

// A box in wide characters, for a text the code page may not hold; the title is plain ASCII.
void show_exclamation_box(const std::wstring& text) {
  const std::string_view title = kPromptTitle;
  const std::wstring wide_title(title.begin(), title.end());
  ::MessageBoxW(nullptr, text.c_str(), wide_title.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// The job of a folder chosen in the browser, on the job's thread.
void run_browsed_folder(WindowRunFrontEnd& front_end, const std::string& chosen) {
  fs::Folder folder;
  fs::SysError error;
  if (!folder.open(fs::folder_path(chosen), &error)) {
    front_end.show_box(folder_open_failure_text(fs::best_listing_form(chosen), error));
    return;
  }
  run_chosen_folder(front_end, std::move(folder));
}

}  // namespace

void run_selected_folder(MainWindow& window) {
  const std::string initial = browser_start(window.settings.remembered_folder());
  const std::string chosen = BROWSEFOLDER(nullptr, kBrowseTitle, initial);
  // A close while the browser was open ends the window now, without a run.
  if (chosen.empty() || window.close_pending) {
    end_run(window);
    return;
  }
  remember_folder(window.settings, chosen, &window.settings_failure_said);
  start_job(window,
            [chosen](WindowRunFrontEnd& front_end) { run_browsed_folder(front_end, chosen); });
}

void run_argument_folder(MainWindow& window, const std::wstring& argument) {
  start_job(window, [argument, &window](WindowRunFrontEnd& front_end) {
    const std::string chosen = argument_folder(argument);
    fs::Folder folder;
    fs::SysError error;
    if (chosen.empty() || !folder.open(fs::folder_path(chosen), &error)) {
      const std::wstring text = argument_failure_text(argument, error);
      front_end.on_window([&text] { show_exclamation_box(text); });
      return;
    }
    front_end.on_window([&window, &chosen] {
      remember_folder(window.settings, chosen, &window.settings_failure_said);
    });
    run_chosen_folder(front_end, std::move(folder));
  });
}

void begin_run(MainWindow& window) {
  window.running = true;
  window.focus_before_run = ::GetFocus();
  set_buttons_enabled(window.dialog, false);
}

void start_job(MainWindow& window, BackgroundRun::Job job) {
  window.display = std::make_unique<RunDisplay>(window.dialog);
  window.job = std::make_unique<BackgroundRun>(window.dialog, std::move(job));
}

void end_run(MainWindow& window) {
  const HWND dialog = window.dialog;
  RunFailure failure;
  if (window.job) {
    failure = window.job->finish();
    window.job.reset();
  }
  // The caption and the taskbar button are plain again before any box.
  window.display.reset();
  window.running = false;
  show_failure_box(failure);

  if (window.close_pending) {
    window.close_pending = false;
    end_main_dialog(window, 0);
    return;
  }
  set_buttons_enabled(dialog, true);
  // Disabling took the focus away; give it back now or when the window is next activated.
  const HWND focus = window.focus_before_run;
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
  save_settings(window->settings, &window->settings_failure_said);
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
  // A folder from the command line is run from the loop, once the window is there to show it.
  if (window.folder_argument) ::PostMessageW(dialog, kRunArgumentMessage, 0, 0);
  run_modal(dialog);
  // The loop ends with the window, or when a quit message came: then a job still working is
  // stopped and waited for while the window and its state still exist.
  window.job.reset();
  window.display.reset();
  if (::IsWindow(dialog)) ::DestroyWindow(dialog);
  return window.end_result;
}

}  // namespace sw::ui
