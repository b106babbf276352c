// Command-line options of sumwright.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sw::cli {

struct Options {
  std::string folder;
  std::optional<bool> compare;  // unset: ask on a terminal, otherwise yes
  bool open = false;            // start the desktop's viewer on the results
  bool quiet = false;           // no progress line
  bool help = false;
  bool version = false;
};

struct ParseResult {
  Options options;
  std::string error;  // non-empty for a usage error
};

ParseResult parse_options(const std::vector<std::string>& args);

extern const char kUsage[];

}  // namespace sw::cli
