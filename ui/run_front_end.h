// The run's face on Windows: the two labels, the prompts, the boxes and Notepad.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "core/run.h"

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

// The text of the box shown when an output file cannot be written (`path` in the listing form).
std::string write_failure_text(const std::string& path, const fs::SysError& error);

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

class WindowRunFrontEnd final : public RunFrontEnd {
 public:
  explicit WindowRunFrontEnd(HWND dialog) : dialog_(dialog), last_pump_(::GetTickCount()) {}

  void on_name(std::string_view name) override;
  void on_checksum(std::string_view text) override;
  void on_bytes(std::uint64_t count) override;
  void on_listing_done() override;
  void report_listing_problems(const std::string& folder_path, const Listing& listing) override;
  bool ask(Question question, std::string_view text) override;
  void show_file(const std::string& path) override;
  void report_earlier_unreadable(const std::string& path, const fs::SysError& error) override;
  void report_earlier_damage(const std::string& path, const Comparison& result) override;
  void report_write_failure(const std::string& path, const fs::SysError& error) override;
  void report_comparison_elsewhere(const std::string& intended, const fs::SysError& error,
                                   const std::string& written) override;

 private:
  // The run checksums on the window's thread; the window is kept painted and movable by
  // handling the waiting messages every kPumpIntervalMs, not once per file, so a folder of
  // many small files is not slowed down.
  static constexpr DWORD kPumpIntervalMs = 40;
  void pump_if_due();
  void pump();
  void set_label(int id, std::string_view text);

  HWND dialog_;
  DWORD last_pump_;
};

}  // namespace sw::ui
