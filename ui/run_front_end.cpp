#include "ui/run_front_end.h"

#include "ui/dialog_template.h"
#include "win32/notepad.h"

namespace sw::ui {

std::string folder_open_failure_text(const std::string& folder, const fs::SysError& error) {
  return "The folder " + folder + " could not be opened: " + error.message +
         ".\r\nNothing was read or written.";
}

std::string settings_failure_text(const std::string& path, const fs::SysError& error) {
  return path + "\r\n\r\nThe remembered folder could not be saved: " + error.message +
         ".\r\nIt is remembered until the program ends.";
}

std::string earlier_unreadable_text(const std::string& path, const fs::SysError& error) {
  return path + "\r\n\r\nThis earlier listing could not be read: " + error.message +
         ".\r\nNothing was compared with it.";
}

std::string earlier_damage_text(const std::string& path, const Comparison& result) {
  std::string text = path + "\r\n";
  if (result.cut_short)
    text += "\r\nThis earlier listing was cut short: it ends after " +
            std::to_string(result.entries) + (result.entries == 1 ? " entry" : " entries") +
            " without the empty line every listing ends with. Files it would have named after its "
            "end were not checked.";
  if (result.overlong_lines > 0)
    text += "\r\n" + std::to_string(result.overlong_lines) +
            (result.overlong_lines == 1 ? " line of it was" : " lines of it were") +
            " too long to be entries, and were passed over.";
  return text;
}

std::string write_failure_text(const std::string& path, const fs::SysError& error) {
  std::string text = path;
  text += "\r\n\r\nThis file could not be written: ";
  text += error.message.empty() ? std::string("unknown error") : error.message;
  text += ".\r\nAn earlier file of that name is unchanged.";
  return text;
}

std::string comparison_elsewhere_text(const std::string& intended, const fs::SysError& error,
                                      const std::string& written) {
  return intended +
         "\r\n\r\nThe comparison could not be written into the folder: " + error.message +
         ".\r\nIt was written to " + written + " instead, and is shown from there.";
}

std::string listing_problems_text(const std::string& folder, const Listing& listing) {
  std::string text;
  if (!listing.enumerated) {
    text += "The folder " + folder +
            " could not be read to its end: " + listing.enumerate_error.message +
            ".\r\nThe listing was not written and no comparison was made, since every file "
            "after the failure would be missing from them.\r\n";
  }
  const std::size_t unreadable = listing.unreadable.size();
  if (unreadable > 0) {
    if (!text.empty()) text += "\r\n";
    text += std::to_string(unreadable) +
            (unreadable == 1 ? " file could not be read; it is"
                             : " files could not be read; they are") +
            " listed with the checksum 0:\r\n";
    for (std::size_t i = 0; i < unreadable && i < kNamedUnreadableLimit; ++i) {
      const UnreadableFile& u = listing.unreadable[i];
      std::string_view name = u.path;
      if (name.starts_with(folder)) name.remove_prefix(folder.size());
      text += "  ";
      text += name;
      text += ": " + u.error.message + "\r\n";
    }
    if (unreadable > kNamedUnreadableLimit)
      text += "  and " + std::to_string(unreadable - kNamedUnreadableLimit) + " more\r\n";
  }
  if (!listing.shared_columns.empty()) {
    if (!text.empty()) text += "\r\n";
    text += "These files are listed under one name each, so no comparison can tell them apart:\r\n";
    for (const std::vector<std::string>& group : listing.shared_columns) {
      text += " ";
      for (const std::string& name : group) text += " \"" + name + "\"";
      text += "\r\n";
    }
  }
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

void WindowRunFrontEnd::report_listing_problems(const std::string& folder_path,
                                                const Listing& listing) {
  const std::string text = listing_problems_text(fs::best_listing_form(folder_path), listing);
  ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
}

bool WindowRunFrontEnd::ask(Question /*question*/, std::string_view text) {
  // No owner: the main window stays enabled, as with the folder browser.
  return ::MessageBoxA(nullptr, std::string(text).c_str(), kPromptTitle, MB_YESNO) == IDYES;
}

void WindowRunFrontEnd::show_file(const std::string& path) {
  // Notepad is started with an ANSI command line: the path that still names the file.
  win32::shell_to_notepad(fs::best_listing_form(path));
}

void WindowRunFrontEnd::report_earlier_unreadable(const std::string& path,
                                                  const fs::SysError& error) {
  ::MessageBoxA(nullptr, earlier_unreadable_text(fs::best_listing_form(path), error).c_str(),
                kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
}

void WindowRunFrontEnd::report_earlier_damage(const std::string& path, const Comparison& result) {
  ::MessageBoxA(nullptr, earlier_damage_text(fs::best_listing_form(path), result).c_str(),
                kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
}

void WindowRunFrontEnd::report_write_failure(const std::string& path, const fs::SysError& error) {
  ::MessageBoxA(nullptr, write_failure_text(fs::best_listing_form(path), error).c_str(),
                kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
}

void WindowRunFrontEnd::report_comparison_elsewhere(const std::string& intended,
                                                    const fs::SysError& error,
                                                    const std::string& written) {
  const std::string text = comparison_elsewhere_text(fs::best_listing_form(intended), error,
                                                     fs::best_listing_form(written));
  ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONINFORMATION);
}

}  // namespace sw::ui
