#include "tests/exports/wine_dialog_driver.h"

#include <dlgs.h>

namespace sw::test {
namespace {

constexpr DWORD kPollMs = 50;
constexpr DWORD kCloseTimeoutMs = 20000;
constexpr DWORD kSettleMs = 300;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr int kMessageTextId = 0xFFFF;

struct FindState {
  HWND except;
  HWND found;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<FindState*>(param);
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (window != state->except && IsWindowVisible(window) && lstrcmpA(cls, "#32770") == 0) {
    state->found = window;
    return FALSE;
  }
  return TRUE;
}

// The edit control that holds the file name: edt1 in older templates, the edit inside the
// cmb13 combo box in newer ones.
HWND file_name_edit(HWND dialog) {
  if (HWND edit = GetDlgItem(dialog, edt1)) return edit;
  if (HWND combo = GetDlgItem(dialog, cmb13)) {
    if (HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr)) return edit;
    return combo;
  }
  return nullptr;
}

void press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<std::string> combo_entries(HWND combo) {
  std::vector<std::string> entries;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count)) {
    return entries;
  }
  for (int i = 0; i < static_cast<int>(count); ++i) {
    char text[512] = {};
    SendMessageTimeoutA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
    entries.emplace_back(text);
  }
  return entries;
}

// Presses Yes where there is one (the overwrite question), otherwise OK.
void answer_box(HWND box) {
  press(box, GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK);
}

}  // namespace

HWND find_thread_dialog(DWORD thread, HWND except) {
  FindState state{except, nullptr};
  EnumThreadWindows(thread, &find_dialog, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

std::string window_text(HWND window) {
  char text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  return text;
}

std::string answer_message_box(DWORD thread, const char* title, DWORD timeout_ms) {
  for (DWORD waited = 0; waited < timeout_ms; waited += kPollMs) {
    HWND box = find_thread_dialog(thread);
    if (box != nullptr && window_text(box) == title) {
      Sleep(kSettleMs);
      std::string text = window_text(GetDlgItem(box, kMessageTextId));
      answer_box(box);
      return text;
    }
    Sleep(kPollMs);
  }
  return {};
}

DialogDriver::DialogDriver(DWORD dialog_thread, DialogScript& script)
    : dialog_thread_(dialog_thread), script_(script) {
  thread_ = CreateThread(nullptr, 0, &DialogDriver::run, this, 0, nullptr);
}

DialogDriver::~DialogDriver() {
  if (thread_ == nullptr) return;
  WaitForSingleObject(thread_, script_.find_timeout_ms + kCloseTimeoutMs + 5000);
  CloseHandle(thread_);
}

DWORD WINAPI DialogDriver::run(void* self) {
  static_cast<DialogDriver*>(self)->drive();
  return 0;
}

void DialogDriver::drive() {
  HWND dialog = nullptr;
  for (DWORD waited = 0; waited < script_.find_timeout_ms && dialog == nullptr; waited += kPollMs) {
    HWND candidate = find_thread_dialog(dialog_thread_);
    if (candidate != nullptr && file_name_edit(candidate) != nullptr) {
      dialog = candidate;
    } else {
      Sleep(kPollMs);
    }
  }
  if (dialog == nullptr) return;
  script_.found = true;
  Sleep(kSettleMs);  // let the dialog finish filling its lists

  HWND edit = file_name_edit(dialog);
  script_.title = window_text(dialog);
  script_.initial_name = window_text(edit);
  script_.filter_entries = combo_entries(GetDlgItem(dialog, cmb1));

  if (script_.cancel) {
    press(dialog, IDCANCEL);
  } else {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script_.type_name.c_str()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    press(dialog, IDOK);
  }

  for (DWORD waited = 0; waited < kCloseTimeoutMs; waited += kPollMs) {
    if (!IsWindow(dialog)) {
      script_.closed = true;
      return;
    }
    if (HWND box = find_thread_dialog(dialog_thread_, dialog)) {
      if (file_name_edit(box) == nullptr) {
        Sleep(kSettleMs);
        script_.message_boxes.push_back(window_text(GetDlgItem(box, kMessageTextId)));
        answer_box(box);
        Sleep(kSettleMs);
      }
    }
    Sleep(kPollMs);
  }
  // Still open: cancel, so the thread that called the dialog gets its answer and goes on.
  press(dialog, IDCANCEL);
}

}  // namespace sw::test
