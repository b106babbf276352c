#include "cli/summary.h"

#include <cstdio>

#include "cli/progress.h"
#include "cli/visible.h"

namespace sw::cli {

std::string summary_text(const RunReport& r, double seconds) {
  std::string out;
  char line[200];
  std::snprintf(line, sizeof line, "Listed %llu file%s, %s, in %.2f s.\n",
                static_cast<unsigned long long>(r.listing.files_listed),
                r.listing.files_listed == 1 ? "" : "s", human_bytes(r.listing.bytes).c_str(),
                seconds);
  out += line;
  if (!r.listing.enumerated)
    out +=
        "The folder could not be read to its end: " + visible(r.listing.enumerate_error.message) +
        "\nThe listing was not written and nothing was compared: it would have left out every "
        "file after the failure.\n";
  if (!r.listing.unreadable.empty()) {
    out += "Could not be read (listed with checksum 0):\n";
    for (const UnreadableFile& u : r.listing.unreadable)
      out += "  " + visible(u.path) + ": " + visible(u.error.message) + "\n";
  }
  if (!r.listing.shared_columns.empty()) {
    out += "Listed under one name each, so no comparison can tell them apart:\n";
    for (const std::vector<std::string>& group : r.listing.shared_columns) {
      out += " ";
      for (const std::string& name : group) out += " \"" + visible(name) + "\"";
      out += "\n";
    }
  }
  if (r.earlier == Earlier::kNotPlain)
    out += std::string(kListingFileName) +
           " here is not a plain file (a symbolic link, say): it was not read as an earlier "
           "listing, and the new listing replaces it.\n";
  const Comparison& c = r.comparison;
  if (!r.comparison_accepted) return out;
  std::snprintf(line, sizeof line,
                "Compared with the earlier listing: %llu OK, %llu CRC Missmatch, %llu Not Found "
                "in This Folder, %llu Could Not Be Read, %llu Skipped.\n",
                static_cast<unsigned long long>(c.count(Status::kOk)),
                static_cast<unsigned long long>(c.count(Status::kMismatch)),
                static_cast<unsigned long long>(c.count(Status::kNotFound)),
                static_cast<unsigned long long>(c.count(Status::kUnreadable)),
                static_cast<unsigned long long>(c.count(Status::kSkipped)));
  out += line;
  if (c.read_failed)
    out +=
        "The earlier listing could not be read to its end: " + visible(c.read_error.message) + "\n";
  for (const ComparedLine& p : c.problems)
    out += "  " + std::string(status_text(p.status)) + ": " + visible(p.old_line) + "\n";
  if (c.problem_count() > c.problems.size())
    out += "  and " + std::to_string(c.problem_count() - c.problems.size()) + " more in " +
           std::string(kComparisonFileName) + "\n";
  if (!c.new_names.empty()) {
    out += "New since the earlier listing:\n";
    for (const std::string& name : c.new_names) out += "  " + visible(name) + "\n";
  }
  return out;
}

ExitStatus exit_status(const RunReport& r) {
  if (!r.listing.enumerated || !r.listing_saved || (r.comparison_accepted && !r.comparison_saved))
    return kExitTrouble;
  const Comparison& c = r.comparison;
  if (r.comparison_accepted && (c.count(Status::kMismatch) > 0 || c.count(Status::kNotFound) > 0 ||
                                c.count(Status::kUnreadable) > 0))
    return kExitDifferences;
  return kExitDone;
}

}  // namespace sw::cli
