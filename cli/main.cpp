// sumwright: the folder checksum job on the command line.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/options.h"
#include "cli/visible.h"
#include "core/crc/crc32.h"

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
  // A reader that goes away (`sumwright ... | head`) is an output error like any other: it ends
  // the command with status 2, not with a signal.
  std::signal(SIGPIPE, SIG_IGN);
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

  return finish(run_command(options, ::isatty(STDIN_FILENO) != 0, ::isatty(STDERR_FILENO) != 0));
}
