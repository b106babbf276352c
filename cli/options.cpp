#include "cli/options.h"

namespace sw::cli {

const char kUsage[] =
    "Usage: sumwright [OPTION]... FOLDER\n"
    "Write the CRC-32 of every file in FOLDER to \"File CRCs.TXT\" in that folder, and compare\n"
    "it with the listing of an earlier run when there is one (\"CRC Comparison.TXT\").\n"
    "\n"
    "  --compare      compare with an earlier listing without asking\n"
    "  --no-compare   do not compare\n"
    "                 (without either: asked on a terminal, otherwise compared)\n"
    "  --open         open the results in the desktop's viewer\n"
    "  -q, --quiet    no progress display\n"
    "  -h, --help     show this help\n"
    "  -V, --version  show the version\n"
    "\n"
    "Exit status: 0 done (a comparison found only OK and Skipped lines), 1 the comparison\n"
    "found changed or missing files, 2 usage error, unusable folder or unwritable output.\n";

ParseResult parse_options(const std::vector<std::string>& args) {
  ParseResult r;
  Options& o = r.options;
  bool only_operands = false;
  std::vector<std::string> operands;
  for (const std::string& a : args) {
    if (only_operands || a.empty() || a[0] != '-' || a == "-") {
      operands.push_back(a);
    } else if (a == "--") {
      only_operands = true;
    } else if (a == "--compare") {
      o.compare = true;
    } else if (a == "--no-compare") {
      o.compare = false;
    } else if (a == "--open") {
      o.open = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "-V" || a == "--version") {
      o.version = true;
    } else {
      r.error = "unknown option '" + a + "'";
      return r;
    }
  }
  if (o.help || o.version) return r;
  if (operands.empty()) {
    r.error = "missing FOLDER";
  } else if (operands.size() > 1) {
    r.error = "only one FOLDER may be given";
  } else {
    o.folder = operands[0];
  }
  return r;
}

}  // namespace sw::cli
