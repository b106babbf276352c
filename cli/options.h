// Command-line options of sumwright.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sw::cli {

struct Options {
  std::string folder;
  std::optional<bool> compare;  // unset: ask on a terminal, otherwise yes
  bool verify = false;          // compare with the earlier listing, write nothing into the folder
  std::string listing;          // the earlier listing, kept outside the folder
  std::string output;           // where the listing (or, verifying, the comparison) goes
  bool recursive = false;       // every folder of the tree, each a folder of its own
  bool json = false;            // JSON Lines on standard output instead of the summary
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
