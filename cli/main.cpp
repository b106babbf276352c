// sumwright: the folder checksum job on the command line.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/summary.h"
#include "cli/terminal_front_end.h"
#include "core/crc32.h"

#ifndef SUMWRIGHT_VERSION
#define SUMWRIGHT_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  using namespace sw::cli;
  const ParseResult parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::cerr << "sumwright: " << parsed.error << "\n" << kUsage;
    return kExitTrouble;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::cout << kUsage;
    return kExitDone;
  }
  if (options.version) {
    std::cout << "sumwright " SUMWRIGHT_VERSION " (CRC-32 kernel: "
              << sw::crc::tier_name(sw::crc::active_tier()) << ")\n";
    return kExitDone;
  }

  struct stat st {};
  if (::stat(options.folder.c_str(), &st) != 0) {
    std::cerr << "sumwright: " << options.folder << ": " << std::strerror(errno) << '\n';
    return kExitTrouble;
  }
  if (!S_ISDIR(st.st_mode)) {
    std::cerr << "sumwright: " << options.folder << ": " << std::strerror(ENOTDIR) << '\n';
    return kExitTrouble;
  }
  // A folder we may not list would give an empty listing that looks like a real one.
  if (DIR* dir = ::opendir(options.folder.c_str())) {
    ::closedir(dir);
  } else {
    std::cerr << "sumwright: " << options.folder << ": " << std::strerror(errno) << '\n';
    return kExitTrouble;
  }

  TerminalFrontEnd ui(options, ::isatty(STDIN_FILENO) != 0, ::isatty(STDERR_FILENO) != 0);
  const sw::RunReport report = sw::run_job(ui, nullptr);
  std::cout << summary_text(report, ui.elapsed_seconds());
  return exit_status(report);
}
