// sumwright: the folder checksum job on the command line.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/summary.h"
#include "cli/terminal_front_end.h"
#include "cli/visible.h"
#include "core/crc32.h"

#ifndef SUMWRIGHT_VERSION
#define SUMWRIGHT_VERSION "unknown"
#endif

namespace {

// Standard output and error must have taken everything: a summary lost to a full disk or a
// closed pipe is an error, not a success.
int finish(int status) {
  errno = 0;
  std::cout.flush();
  if (!std::cout || std::ferror(stdout) != 0) {
    const int code = errno;
    std::cerr << "sumwright: cannot write to standard output"
              << (code != 0 ? std::string(": ") + std::strerror(code) : std::string()) << '\n';
    status = sw::cli::kExitTrouble;
  }
  std::cerr.flush();
  if (!std::cerr || std::fflush(stderr) != 0 || std::ferror(stderr) != 0)
    status = sw::cli::kExitTrouble;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sw::cli;
  const ParseResult parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::cerr << "sumwright: " << visible(parsed.error) << "\n" << kUsage;
    return finish(kExitTrouble);
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::cout << kUsage;
    return finish(kExitDone);
  }
  if (options.version) {
    std::cout << "sumwright " SUMWRIGHT_VERSION " (CRC-32 kernel: "
              << sw::crc::tier_name(sw::crc::active_tier()) << ")\n";
    return finish(kExitDone);
  }

  const std::string shown = visible(options.folder);
  struct stat st {};
  if (::stat(options.folder.c_str(), &st) != 0) {
    std::cerr << "sumwright: " << shown << ": " << std::strerror(errno) << '\n';
    return finish(kExitTrouble);
  }
  if (!S_ISDIR(st.st_mode)) {
    std::cerr << "sumwright: " << shown << ": " << std::strerror(ENOTDIR) << '\n';
    return finish(kExitTrouble);
  }
  // A folder we may not list would give an empty listing that looks like a real one.
  if (DIR* dir = ::opendir(options.folder.c_str())) {
    ::closedir(dir);
  } else {
    std::cerr << "sumwright: " << shown << ": " << std::strerror(errno) << '\n';
    return finish(kExitTrouble);
  }

  TerminalFrontEnd ui(options, ::isatty(STDIN_FILENO) != 0, ::isatty(STDERR_FILENO) != 0);
  const sw::RunReport report = sw::run_job(ui, nullptr);
  std::cout << summary_text(report, ui.elapsed_seconds());
  return finish(exit_status(report));
}
