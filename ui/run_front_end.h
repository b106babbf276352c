// The run's face on Windows: the folder browser, the two labels, the prompts and Notepad.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "progress_pump.h"
#include "run.h"

namespace sw::ui {

inline constexpr const char* kPromptTitle = "Tallywick";
inline constexpr const char* kBrowseTitle = "Select Folder";

// The text of the box shown when an output file cannot be written.
std::string write_failure_text(const std::string& path, const fs::SysError& error);

class WindowRunFrontEnd final : public RunFrontEnd {
 public:
  explicit WindowRunFrontEnd(HWND dialog) : dialog_(dialog), pump_(dialog) {}

  std::string choose_folder(const std::string& initial) override;
  void on_name(std::string_view name) override;
  void on_checksum(std::string_view text) override;
  void on_bytes(std::uint64_t count) override;
  void on_listing_done() override;
  bool ask(Question question, std::string_view text) override;
  void show_file(const std::string& path) override;
  void report_write_failure(const std::string& path, const fs::SysError& error) override;

 private:
  void set_label(int id, std::string_view text);

  HWND dialog_;
  ProgressPump pump_;
};

}  // namespace sw::ui
