#include "ui/run_front_end.h"

#include <stdexcept>
#include <utility>

#include "core/os/fs_win32.h"
#include "ui/run_messages.h"
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

std::string unmodified_changes_text(const Comparison& result) {
  const std::uint64_t count = result.unmodified_mismatches;
  std::string text = std::to_string(count) +
                     (count == 1 ? " file has changed" : " files have changed") +
                     " although not modified since the earlier listing was written: possible "
                     "damage, or an older copy put back.\r\n";
  for (std::size_t i = 0; i < result.unmodified_names.size() && i < kNamedUnreadableLimit; ++i)
    text += "  " + result.unmodified_names[i] + "\r\n";
  if (count > kNamedUnreadableLimit)
    text += "  and " + std::to_string(count - kNamedUnreadableLimit) + " more\r\n";
  return text;
}

std::string write_failure_text(const std::string& path, const fs::SysError& error) {
  std::string text = path;
  text += "\r\n\r\nThis file could not be written: ";
  text += error.message.empty() ? std::string("unknown error") : error.message;
  text += ".\r\nAn earlier file of that name is unchanged.";
  return text;
}

std::string not_durable_text(const std::string& path, const fs::SysError& error) {
  return path + "\r\n\r\nThis file was " + error.message +
         ".\r\nIt replaced the earlier file, and a power cut could still lose it.";
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

void make_window_call(LPARAM lparam, bool stopped) {
  auto* call = reinterpret_cast<WindowCall*>(lparam);
  call->made = true;
  if (stopped) return;
  try {
    call->call();
  } catch (...) {
    call->error = std::current_exception();
  }
}

void WindowRunFrontEnd::on_window(std::function<void()> call) {
  WindowCall window_call{std::move(call), nullptr, false};
  ::SendMessageW(dialog_, kRunCallMessage, 0, reinterpret_cast<LPARAM>(&window_call));
  if (window_call.error) std::rethrow_exception(window_call.error);
  if (!window_call.made) throw std::runtime_error("the window did not answer the run");
}

void WindowRunFrontEnd::show_box(const std::string& text) {
  on_window(
      [&text] { ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION); });
}

void WindowRunFrontEnd::post_if_due() {
  if (progress_.post_due() && !::PostMessageW(dialog_, kRunProgressMessage, 0, 0))
    progress_.post_refused();
}

void WindowRunFrontEnd::on_start(std::uint64_t /*files*/, std::uint64_t bytes) {
  progress_.start(bytes);
  post_if_due();
}

void WindowRunFrontEnd::on_name(std::string_view name) {
  progress_.set_name(name);
  post_if_due();
}

void WindowRunFrontEnd::on_checksum(std::string_view text) {
  progress_.set_checksum(text);
  post_if_due();
}

void WindowRunFrontEnd::on_bytes(std::uint64_t count) {
  // Called at least every 50 ms while a file is read, so a long read still moves the caption.
  progress_.add_bytes(count);
  post_if_due();
}

void WindowRunFrontEnd::on_listing_done() {
  progress_.finish_listing();
  // Sent, not posted: both labels say "Done" before any box of the run opens.
  ::SendMessageW(dialog_, kRunProgressMessage, 0, 0);
}

void WindowRunFrontEnd::report_listing_problems(const std::string& folder_path,
                                                const Listing& listing) {
  show_box(listing_problems_text(fs::best_listing_form(folder_path), listing));
}

bool WindowRunFrontEnd::ask_default_no(const std::string& text) {
  bool yes = false;
  on_window([&] {
    yes = ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_YESNO | MB_DEFBUTTON2) == IDYES;
  });
  return yes;
}

bool WindowRunFrontEnd::ask(Question /*question*/, std::string_view text) {
  const std::string question(text);
  bool yes = false;
  // No owner: the main window stays enabled, as with the folder browser.
  on_window(
      [&] { yes = ::MessageBoxA(nullptr, question.c_str(), kPromptTitle, MB_YESNO) == IDYES; });
  return yes;
}

namespace {

bool names_end_in_dot_or_blank(std::string_view path) {
  for (std::size_t end = path.size(); end > 0;) {
    const std::size_t start = path.find_last_of("\\/", end - 1);
    const std::size_t from = start == std::string_view::npos ? 0 : start + 1;
    if (end > from && (path[end - 1] == '.' || path[end - 1] == ' ')) return true;
    if (start == std::string_view::npos) break;
    end = start;
  }
  return false;
}

}  // namespace

void WindowRunFrontEnd::show_file(const std::string& path) {
  // Notepad is started with an ANSI command line: the path that still names the file. From the
  // window's thread, which shows the box should Notepad not start.
  // A folder or file whose name ends in a dot or a blank would be read there as its neighbour:
  // its short path names it where the volume keeps one.
  // Only the folder is shortened where the file's own name is sound, so that Notepad's caption
  // still shows the name the user knows ("File CRCs.TXT", not its 8.3 form).
  std::string listing_path = fs::best_listing_form(path);
  if (names_end_in_dot_or_blank(path)) {
    auto [folder, name] = fs::split_path(path);
    const bool whole = folder.empty() || names_end_in_dot_or_blank(name);
    if (!whole) folder.pop_back();  // the folder itself, without its closing separator
    if (const std::wstring short_form = fs::short_path(whole ? path : folder); !short_form.empty())
      listing_path = fs::best_listing_form(
          fs::native_of(whole ? short_form : short_form + L"\\" + fs::wide_of(name)));
  }
  on_window([&listing_path] { win32::shell_to_notepad(listing_path); });
}

void WindowRunFrontEnd::report_earlier_unreadable(const std::string& path,
                                                  const fs::SysError& error) {
  show_box(earlier_unreadable_text(fs::best_listing_form(path), error));
}

void WindowRunFrontEnd::report_earlier_damage(const std::string& path, const Comparison& result) {
  show_box(earlier_damage_text(fs::best_listing_form(path), result));
}

void WindowRunFrontEnd::report_unmodified_changes(const std::string& /*folder_path*/,
                                                  const Comparison& result) {
  show_box(unmodified_changes_text(result));
}

void WindowRunFrontEnd::report_write_failure(const std::string& path, const fs::SysError& error) {
  show_box(write_failure_text(fs::best_listing_form(path), error));
}

void WindowRunFrontEnd::report_not_durable(const std::string& path, const fs::SysError& error) {
  show_box(not_durable_text(fs::best_listing_form(path), error));
}

void WindowRunFrontEnd::report_comparison_elsewhere(const std::string& intended,
                                                    const fs::SysError& error,
                                                    const std::string& written) {
  const std::string text = comparison_elsewhere_text(fs::best_listing_form(intended), error,
                                                     fs::best_listing_form(written));
  on_window(
      [&text] { ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONINFORMATION); });
}

}  // namespace sw::ui
