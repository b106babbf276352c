// The run's front end on a terminal: progress and questions go to standard error, written files
// are printed or opened.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/progress.h"
#include "core/tree_run.h"

namespace sw::cli {

// Whether standard output has failed (a full disk, a closed pipe).
bool output_failed();

class TerminalFrontEnd final : public TreeFrontEnd {
 public:
  // What is printed of a folder once its run is over (the summary, or its JSON line).
  using FolderReport = std::function<void(const RunReport& report, double seconds)>;

  TerminalFrontEnd(const Options& options, bool stdin_is_terminal, bool stderr_is_terminal,
                   FolderReport report);

  // The path from the top of the tree of the folder the next run works on is shown before each
  // name in the progress line.
  void on_folder_start(const std::string& relative) override;
  void on_folder_committed(const RunReport& report) override;
  void on_folder_done(const RunReport& report, double seconds) override;
  double seconds_now() override { return elapsed_seconds(); }

  bool wants_byte_totals() const override { return progress_.enabled(); }
  void on_start(std::uint64_t files, std::uint64_t bytes) override;
  void on_name(std::string_view name) override;
  void on_bytes(std::uint64_t count) override;
  void on_file_finished() override;
  void on_unreadable(const std::string& path, const fs::SysError& error) override;
  void on_listing_done() override;
  bool ask(Question question, std::string_view text) override;
  void report_written(const std::string& path) override;
  void show_file(const std::string& path) override;
  void report_write_failure(const std::string& path, const fs::SysError& error) override;
  void report_not_durable(const std::string& path, const fs::SysError& error) override;

  // Time spent on the command, without the time the user took to answer.
  double elapsed_seconds() const { return progress_.elapsed_seconds() - answering_seconds_; }

 private:
  const Options& options_;
  FolderReport report_;
  bool interactive_;
  std::string relative_;
  std::string shown_name_;
  ProgressLine progress_;
  double answering_seconds_ = 0;
};

}  // namespace sw::cli
