#include "cli/options.h"

#include <string_view>

namespace sw::cli {

const char kUsage[] =
    "Usage: sumwright [OPTION]... FOLDER\n"
    "Write the CRC-32 of every file in FOLDER to \"File CRCs.TXT\" in that folder, and compare\n"
    "it with the listing of an earlier run when there is one (\"CRC Comparison.TXT\").\n"
    "\n"
    "  --compare        compare with an earlier listing without asking\n"
    "  --no-compare     do not compare\n"
    "                   (without either: asked on a terminal, otherwise compared)\n"
    "  --verify         compare with the earlier listing and write nothing into the folder;\n"
    "                   the comparison lines go to standard output (or to --output FILE)\n"
    "  --listing FILE   the earlier listing is FILE, kept outside the folder\n"
    "  --output FILE    keep the listing at FILE (compared with the one there), or with\n"
    "                   --verify write the comparison there; nothing goes into the folder\n"
    "  -r, --recursive  every folder of the tree, each with its own listing; symbolic links\n"
    "                   to folders are not followed\n"
    "  --json           JSON Lines on standard output instead of the summary\n"
    "  --open           open the results in the desktop's viewer\n"
    "  -q, --quiet      no progress display\n"
    "  -h, --help       show this help\n"
    "  -V, --version    show the version\n"
    "\n"
    "Exit status: 0 done (a comparison found only OK and Skipped lines), 1 the comparison\n"
    "found changed, missing or unreadable files, 2 usage error, unusable folder or listing, or\n"
    "unwritable output.\n";

namespace {

// Options that take a value, as "--name VALUE" or "--name=VALUE".
std::string* value_slot(Options& o, std::string_view name) {
  if (name == "--listing") return &o.listing;
  if (name == "--output") return &o.output;
  return nullptr;
}

// Whether a flag was recognised; the flags without a value.
bool set_flag(Options& o, std::string_view a) {
  if (a == "--compare") {
    o.compare = true;
  } else if (a == "--no-compare") {
    o.compare = false;
  } else if (a == "--verify") {
    o.verify = true;
  } else if (a == "-r" || a == "--recursive") {
    o.recursive = true;
  } else if (a == "--json") {
    o.json = true;
  } else if (a == "--open") {
    o.open = true;
  } else if (a == "-q" || a == "--quiet") {
    o.quiet = true;
  } else if (a == "-h" || a == "--help") {
    o.help = true;
  } else if (a == "-V" || a == "--version") {
    o.version = true;
  } else {
    return false;
  }
  return true;
}

std::string check(const Options& o, std::size_t operands) {
  if (operands == 0) return "missing FOLDER";
  if (operands > 1) return "only one FOLDER may be given";
  if (o.verify && o.compare == false) return "--verify compares: it cannot go with --no-compare";
  if (o.recursive && !o.listing.empty())
    return "--listing names one listing: with --recursive every folder has its own";
  if (o.recursive && !o.output.empty())
    return "--output names one file: with --recursive every folder has its own";
  return {};
}

}  // namespace

ParseResult parse_options(const std::vector<std::string>& args) {
  ParseResult r;
  Options& o = r.options;
  bool only_operands = false;
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (only_operands || a.empty() || a[0] != '-' || a == "-") {
      operands.push_back(a);
      continue;
    }
    if (a == "--") {
      only_operands = true;
      continue;
    }
    if (set_flag(o, a)) continue;
    const std::size_t equals = a.find('=');
    if (std::string* slot = value_slot(o, std::string_view(a).substr(0, equals))) {
      if (equals != std::string::npos) {
        *slot = a.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        *slot = args[++i];
      } else {
        r.error = "option '" + a + "' needs a FILE";
        return r;
      }
      if (slot->empty()) {
        r.error = "option '" + a.substr(0, equals) + "' needs a FILE";
        return r;
      }
      continue;
    }
    // Short flags run together: "-rq".
    bool all_short = a.size() > 2 && a[1] != '-';
    for (std::size_t k = 1; all_short && k < a.size(); ++k)
      all_short = std::string_view("rqhV").find(a[k]) != std::string_view::npos;
    if (all_short) {
      for (std::size_t k = 1; k < a.size(); ++k) set_flag(o, std::string{'-', a[k]});
      continue;
    }
    r.error = "unknown option '" + a + "'";
    return r;
  }
  if (o.help || o.version) return r;
  r.error = check(o, operands.size());
  if (r.error.empty()) o.folder = operands[0];
  return r;
}

}  // namespace sw::cli
