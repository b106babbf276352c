// The run's face on Windows: the two labels, the prompts, the boxes and Notepad, and the texts
// of the boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "core/run.h"
#include "core/tree_run.h"
#include "ui/run_progress.h"

namespace sw::ui {

// The title every box of the program has carried since its first version; users and scripts that
// answer its boxes look for it, so it stays as it is.
inline constexpr const char* kPromptTitle = "Tallywick";

// The text of the box shown when the chosen folder cannot be opened (`folder` in the listing
// form).
std::string folder_open_failure_text(const std::string& folder, const fs::SysError& error);

// The text of the box shown when "Checksum.def" (at `path`, listing form) cannot be saved.
std::string settings_failure_text(const std::string& path, const fs::SysError& error);

// The text of the box shown when the earlier listing cannot be read.
std::string earlier_unreadable_text(const std::string& path, const fs::SysError& error);

// The text of the box shown when the earlier listing was compared but is damaged (cut short, or
// with lines too long to be entries).
std::string earlier_damage_text(const std::string& path, const Comparison& result);

// The text of the box shown when a comparison finds files that changed without being modified
// since the earlier listing was written: how many, and the first ten by name.
std::string unmodified_changes_text(const Comparison& result);

// The text of the box shown when an output file cannot be written (`path` in the listing form).
std::string write_failure_text(const std::string& path, const fs::SysError& error);

// The text of the box shown when an output file was put in place but could not be made durable.
std::string not_durable_text(const std::string& path, const fs::SysError& error);

// The text of the box shown when the comparison could not be written into the folder and was
// written elsewhere (`intended` and `written` in the listing form).
std::string comparison_elsewhere_text(const std::string& intended, const fs::SysError& error,
                                      const std::string& written);

// At most this many unreadable files are named in the report; the rest are counted.
inline constexpr std::size_t kNamedUnreadableLimit = 10;

// The text of the one box that reports what the user must know of a listing: an enumeration
// that failed part-way, the files that could not be read (up to ten, each with the system's
// reason, then "and N more"), and names the listing cannot tell apart. `folder` is the listing
// form of the folder path.
std::string listing_problems_text(const std::string& folder, const Listing& listing);

// A call the run's thread has the window's thread make (kRunCallMessage), with what it threw.
struct WindowCall {
  std::function<void()> call;
  std::exception_ptr error;
  bool made = false;
};

// Makes the call that `lparam` of a kRunCallMessage carries; on the window's thread. After a stop
// it is not made (no box, no question, no Notepad): the run then hears "no" and ends.
void make_window_call(LPARAM lparam, bool stopped);

// The run's face on Windows, used on the run's own thread. Progress goes into `progress` and is
// posted to the window; everything the user sees or answers (boxes, Notepad) is sent to the
// window's thread, which shows it as the one-threaded program did, and the run waits for it. A
// tree's face (ui/window_tree.h) says less of each folder and more at the end.
class WindowRunFrontEnd : public TreeFrontEnd {
 public:
  WindowRunFrontEnd(HWND dialog, RunProgress& progress, const StopRequest& stop)
      : dialog_(dialog), progress_(progress), stop_(stop) {}

  // The enumeration gives sizes for free on Windows: the caption shows the share of the bytes.
  bool wants_byte_totals() const override { return true; }
  void on_start(std::uint64_t files, std::uint64_t bytes) override;
  void on_name(std::string_view name) override;
  void on_checksum(std::string_view text) override;
  void on_bytes(std::uint64_t count) override;
  void on_listing_done() override;
  void report_listing_problems(const std::string& folder_path, const Listing& listing) override;
  bool ask(Question question, std::string_view text) override;
  void show_file(const std::string& path) override;
  void report_earlier_unreadable(const std::string& path, const fs::SysError& error) override;
  void report_earlier_damage(const std::string& path, const Comparison& result) override;
  void report_unmodified_changes(const std::string& folder_path, const Comparison& result) override;
  void report_write_failure(const std::string& path, const fs::SysError& error) override;
  void report_not_durable(const std::string& path, const fs::SysError& error) override;
  void report_comparison_elsewhere(const std::string& intended, const fs::SysError& error,
                                   const std::string& written) override;
  void on_folder_done(const RunReport& /*report*/, double /*seconds*/) override {}

  // The run's stop request, for its plan, and what it shows with.
  const StopRequest& stop() const { return stop_; }
  HWND dialog() const { return dialog_; }
  RunProgress& progress() const { return progress_; }

  // Runs `call` on the window's thread and returns once it is made; what it throws is thrown
  // here. The window outlives every run, so the call is always made.
  void on_window(std::function<void()> call);
  // The program's box with `text` (exclamation mark, OK), shown by the window's thread; returns
  // once it is closed.
  void show_box(const std::string& text);
  // A yes/no question whose default button is No, so that Enter keeps what the program always
  // did; true for yes.
  bool ask_default_no(const std::string& text);

 protected:
  void post_if_due();

 private:
  HWND dialog_;
  RunProgress& progress_;
  const StopRequest& stop_;
};

}  // namespace sw::ui
