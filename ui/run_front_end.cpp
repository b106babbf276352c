#include "run_front_end.h"

#include "dialog_template.h"
#include "folder_picker.h"
#include "notepad.h"

namespace sw::ui {

std::string write_failure_text(const std::string& path, const fs::SysError& error) {
  std::string text = path;
  text += "\r\n\r\nThis file could not be written: ";
  text += error.message.empty() ? std::string("unknown error") : error.message;
  text += ".\r\nAn earlier file of that name is unchanged.";
  return text;
}

std::string WindowRunFrontEnd::choose_folder(const std::string& initial) {
  return BROWSEFOLDER(nullptr, kBrowseTitle, initial);
}

void WindowRunFrontEnd::set_label(int id, std::string_view text) {
  ::SetDlgItemTextA(dialog_, id, std::string(text).c_str());
}

void WindowRunFrontEnd::on_name(std::string_view name) {
  set_label(kFileLabel, name);
  pump_.pump_if_due();
}

void WindowRunFrontEnd::on_checksum(std::string_view text) {
  set_label(kCrcLabel, text);
  pump_.pump_if_due();
}

void WindowRunFrontEnd::on_bytes(std::uint64_t /*count*/) {
  pump_.pump_if_due();
}

void WindowRunFrontEnd::on_listing_done() {
  set_label(kFileLabel, kDoneText);
  set_label(kCrcLabel, kDoneText);
  pump_.pump();
}

bool WindowRunFrontEnd::ask(Question /*question*/, std::string_view text) {
  // No owner: the main window stays enabled, as with the folder browser.
  return ::MessageBoxA(nullptr, std::string(text).c_str(), kPromptTitle, MB_YESNO) == IDYES;
}

void WindowRunFrontEnd::show_file(const std::string& path) {
  shell_to_notepad(path);
}

void WindowRunFrontEnd::report_write_failure(const std::string& path, const fs::SysError& error) {
  ::MessageBoxA(nullptr, write_failure_text(path, error).c_str(), kPromptTitle,
                MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace sw::ui
