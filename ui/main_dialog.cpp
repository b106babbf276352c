#include "main_dialog.h"

#include "app_state.h"
#include "dialog_template.h"
#include "label_colours.h"
#include "main_dlgproc.h"

namespace sw::ui {
namespace {

INT_PTR g_end_result = 0;

// The dialog manager's side of the main window: every message goes to the controller first,
// then gets the defaults the program relies on.
INT_PTR CALLBACK main_dialog_engine(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  // Messages sent while the window is still being built (its own WM_INITDIALOG among them)
  // stay here: the controller is first called once the controls exist.
  if (dialog == app().main_dialog) {
    if (const INT_PTR handled = MAINDLGPROC(dialog, message, wparam, lparam)) return handled;
  }
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      HBRUSH brush = nullptr;
      if (apply_label_colour(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam), &brush))
        return reinterpret_cast<INT_PTR>(brush);
      return FALSE;
    }
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) {
        end_main_dialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // The dialog manager would turn it into the Cancel command; ending is done by
      // end_main_dialog alone.
      return TRUE;
    case WM_DESTROY:
      forget_label_colours(dialog);
      return FALSE;
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
    if (c.text_colour) set_label_colour(control, c.text_colour);
  }
}

void run_modal(HWND dialog) {
  for (;;) {
    if (!::IsWindow(dialog)) break;
    MSG msg;
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the outer loop
      break;
    }
    if (got < 0) break;
    if (!::IsDialogMessageA(dialog, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
}

}  // namespace

INT_PTR SHOWMAINDIALOG(HWND parent) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  const std::vector<WORD> tmpl = build_dialog_template(kMainDialog);
  const HWND dialog = ::CreateDialogIndirectParamA(
      instance, reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()), parent, &main_dialog_engine, 0);
  if (dialog == nullptr) return -1;
  ::SetWindowTextA(dialog, kMainDialog.caption);
  create_controls(dialog, instance);
  app().main_dialog = dialog;
  g_end_result = 0;

  MAINDLGPROC(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
  RECT client;
  ::GetClientRect(dialog, &client);
  MAINDLGPROC(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  ::ShowWindow(dialog, SW_SHOW);
  run_modal(dialog);
  return g_end_result;
}

void end_main_dialog(HWND dialog, INT_PTR result) {
  ::SendMessageA(dialog, WM_CLOSE, 0, 0);
  if (const HWND owner = ::GetWindow(dialog, GW_OWNER)) ::EnableWindow(owner, TRUE);
  g_end_result = result;
  ::DestroyWindow(dialog);
}

}  // namespace sw::ui
