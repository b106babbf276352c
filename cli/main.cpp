// sumwright: the folder checksum job on the command line.
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
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

// The one stop of the command: SIGINT, SIGTERM and SIGHUP make it, and the run ends at its next
// step, leaving whatever it had not yet written as it was. A second signal ends the command at
// once, as the system ends it.
sw::StopRequest g_stop;
volatile std::sig_atomic_t g_stop_signal = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void on_stop_signal(int signal) {
  g_stop_signal = signal;
  g_stop.request();
  for (const int s : kStopSignals) std::signal(s, SIG_DFL);
}

void catch_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a question waiting for its answer on the terminal is interrupted, and the run
  // then sees the stop.
  action.sa_flags = 0;
  for (const int s : kStopSignals) {
    struct sigaction before {};
    // A signal the shell told this command to ignore (nohup, a background job) stays ignored.
    if (::sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &action, nullptr);
  }
}

// Says `text` on standard error without needing any memory.
void say(const char* text) {
  const std::size_t size = std::strlen(text);
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(STDERR_FILENO, text + done, size - done);
    if (n <= 0 && errno != EINTR) return;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
}

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

int run(int argc, char** argv) {
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

  return finish(
      run_command(options, ::isatty(STDIN_FILENO) != 0, ::isatty(STDERR_FILENO) != 0, g_stop));
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (`sumwright ... | head`) is an output error like any other: it ends
  // the command with status 2, not with a signal.
  std::signal(SIGPIPE, SIG_IGN);
  catch_stop_signals();
#if defined(__GLIBC__)
  // One heap for every thread. The readers and the commit keep off the heap, but one that
  // reports a failure (a file that cannot be read) takes memory for its words, and glibc would
  // give that thread a heap of its own, reserving 64 MiB of address space, which a memory limit
  // (ulimit -v) counts as if used. The main thread is the heap's only busy user.
  ::mallopt(M_ARENA_MAX, 1);
#endif
  int status = sw::cli::kExitTrouble;
  try {
    status = run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Everything the run held is given back by now: staged files removed, earlier files kept.
    say("sumwright: out of memory: nothing more was written\n");
  } catch (const std::exception& e) {
    say("sumwright: internal error: ");
    say(e.what());
    say("\n");
  } catch (...) {
    say("sumwright: internal error\n");
  }
  // Stopped by a signal: said, then ended by that signal, as the shell expects of a command it
  // interrupted (status 128 + the signal's number: 130 for Ctrl-C).
  if (const int signal = g_stop_signal; signal != 0) {
    say("sumwright: stopped by a signal: whatever was not yet written is as it was\n");
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
  return status;
}
