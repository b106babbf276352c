#include "cli/viewer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

extern char** environ;

namespace sw::cli {

const char* viewer_program() {
#ifdef __APPLE__
  return "open";
#else
  return "xdg-open";
#endif
}

bool start_viewer(const std::string& path, std::string* error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The viewer's chatter must not mix with our own output on stdout.
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string program = viewer_program();
  // A relative path that begins with "-" would be taken for an option.
  std::string arg = path.starts_with('-') ? "./" + path : path;
  char* argv[] = {program.data(), arg.data(), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    *error = std::strerror(rc);
    return false;
  }
  // Not waited for; reap any viewer that has already finished so none lingers as a zombie.
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  return true;
}

}  // namespace sw::cli
