#include "cli/terminal_front_end.h"

#include <cstdio>
#include <iostream>
#include <utility>

#include "cli/viewer.h"
#include "cli/visible.h"

namespace sw::cli {

bool output_failed() {
  return !std::cout || std::ferror(stdout) != 0;
}

TerminalFrontEnd::TerminalFrontEnd(const Options& options, bool stdin_is_terminal,
                                   bool stderr_is_terminal, FolderReport report)
    : options_(options),
      report_(std::move(report)),
      interactive_(stdin_is_terminal),
      progress_(stderr, stderr_is_terminal && !options.quiet) {}

void TerminalFrontEnd::on_folder_start(const std::string& relative) {
  relative_ = relative.empty() ? relative : relative + "/";
}

void TerminalFrontEnd::on_folder_committed(const RunReport& report) {
  if (!options_.json) std::cout << "Folder " << visible(report.folder_path) << ":\n";
}

void TerminalFrontEnd::on_folder_done(const RunReport& report, double seconds) {
  report_(report, seconds);
}

void TerminalFrontEnd::on_start(std::uint64_t files, std::uint64_t bytes) {
  progress_.set_totals(files, bytes);
}
void TerminalFrontEnd::on_name(std::string_view name) {
  if (relative_.empty()) {
    progress_.set_name(name);
    return;
  }
  shown_name_.assign(relative_).append(name);
  progress_.set_name(shown_name_);
}
void TerminalFrontEnd::on_bytes(std::uint64_t count) {
  progress_.add_bytes(count);
}
void TerminalFrontEnd::on_file_finished() {
  progress_.file_done();
}
void TerminalFrontEnd::on_listing_done() {
  progress_.clear();
}

void TerminalFrontEnd::on_unreadable(const std::string& path, const fs::SysError& error) {
  progress_.clear();
  std::cerr << "sumwright: warning: cannot read " << visible(path) << ": " << visible(error.message)
            << " (listed with checksum 0)\n";
}

bool TerminalFrontEnd::ask(Question question, std::string_view text) {
  // Without a viewer the listing is only named, so there is nothing to decline.
  if (question == Question::kShowListing && !options_.open) return true;
  if (!interactive_) return true;
  const double asked_at = progress_.elapsed_seconds();
  std::cerr << text << " [Y/n] " << std::flush;
  std::string answer;
  const bool answered = static_cast<bool>(std::getline(std::cin, answer));
  answering_seconds_ += progress_.elapsed_seconds() - asked_at;
  return !answered || !(answer.starts_with('n') || answer.starts_with('N'));
}

void TerminalFrontEnd::report_written(const std::string& path) {
  // JSON Lines name the written files themselves; nothing else may share standard output.
  if (!options_.json) std::cout << "Wrote " << visible(path) << '\n' << std::flush;
}

void TerminalFrontEnd::show_file(const std::string& path) {
  if (!options_.open) return;
  std::string error;
  if (!start_viewer(path, &error))
    std::cerr << "sumwright: cannot start " << viewer_program() << " on " << visible(path) << ": "
              << error << '\n';
}

void TerminalFrontEnd::report_not_durable(const std::string& path, const fs::SysError& error) {
  progress_.clear();
  std::cerr << "sumwright: " << visible(path) << ": " << visible(error.message) << '\n';
}

void TerminalFrontEnd::report_write_failure(const std::string& path, const fs::SysError& error) {
  progress_.clear();
  std::cerr << "sumwright: cannot write " << visible(path) << ": " << visible(error.message)
            << " (any earlier file is unchanged)\n";
}

}  // namespace sw::cli
