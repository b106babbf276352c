#include "ui/run_front_end.h"

#include "ui/dialog_template.h"
#include "ui/folder_picker.h"
#include "win32/notepad.h"

namespace sw::ui {

std::string write_failure_text(const std::string& path, const fs::SysError& error) {
  std::string text = path;
  text += "\r\n\r\nThis file could not be written: ";
  text += error.message.empty() ? std::string("unknown error") : error.message;
  text += ".\r\nAn earlier file of that name is unchanged.";
  return text;
}

void WindowRunFrontEnd::pump_if_due() {
  if (::GetTickCount() - last_pump_ >= kPumpIntervalMs) pump();
}

void WindowRunFrontEnd::pump() {
  // The buttons are disabled and the window ignores commands during a run, so whatever arrives
  // here cannot start a second run or end the window under this one.
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the modal loop, after the run
      break;
    }
    if (dialog_ == nullptr || !::IsDialogMessageA(dialog_, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  last_pump_ = ::GetTickCount();
}

std::string WindowRunFrontEnd::choose_folder(const std::string& initial) {
  return BROWSEFOLDER(nullptr, kBrowseTitle, initial);
}

void WindowRunFrontEnd::set_label(int id, std::string_view text) {
  ::SetDlgItemTextA(dialog_, id, std::string(text).c_str());
}

void WindowRunFrontEnd::on_name(std::string_view name) {
  set_label(kFileLabel, name);
  pump_if_due();
}

void WindowRunFrontEnd::on_checksum(std::string_view text) {
  set_label(kCrcLabel, text);
  pump_if_due();
}

void WindowRunFrontEnd::on_bytes(std::uint64_t /*count*/) {
  pump_if_due();
}

void WindowRunFrontEnd::on_listing_done() {
  set_label(kFileLabel, kDoneText);
  set_label(kCrcLabel, kDoneText);
  pump();
}

bool WindowRunFrontEnd::ask(Question /*question*/, std::string_view text) {
  // No owner: the main window stays enabled, as with the folder browser.
  return ::MessageBoxA(nullptr, std::string(text).c_str(), kPromptTitle, MB_YESNO) == IDYES;
}

void WindowRunFrontEnd::show_file(const std::string& path) {
  win32::shell_to_notepad(path);
}

void WindowRunFrontEnd::report_write_failure(const std::string& path, const fs::SysError& error) {
  ::MessageBoxA(nullptr, write_failure_text(path, error).c_str(), kPromptTitle,
                MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace sw::ui
