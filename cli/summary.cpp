#include "cli/summary.h"

#include <algorithm>
#include <cstdio>

#include "cli/progress.h"
#include "cli/visible.h"
#include "core/line_reader.h"

namespace sw::cli {
namespace {

// "HEADING: COUNT", then the kept names one a line, and how many more were not kept.
std::string counted_list(std::string_view heading, std::uint64_t count,
                         const std::vector<std::string>& kept) {
  std::string out = std::string(heading) + ": " + std::to_string(count) + "\n";
  for (const std::string& name : kept) out += "  " + visible(name) + "\n";
  if (count > kept.size()) out += "  and " + std::to_string(count - kept.size()) + " more\n";
  return out;
}

}  // namespace

std::string summary_text(const RunReport& r, double seconds, bool lines_shown, bool in_tree) {
  std::string out;
  if (!r.opened)
    return "The folder could not be opened: " + visible(r.open_error.message) +
           "\nNothing was read or written for it, nor for any folder below it.\n";
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
        "file after the failure." +
        (in_tree ? " Subfolders after the failure were not visited either." : "") + "\n";
  if (!in_tree && r.listing.subfolders > 0)
    out += std::to_string(r.listing.subfolders) +
           (r.listing.subfolders == 1 ? " subfolder was" : " subfolders were") +
           " left out: -r lists every folder of the tree.\n";
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
  if (r.earlier == Earlier::kUnreadable)
    out += "The earlier listing could not be read: " + visible(r.earlier_error.message) +
           "\nNothing was compared with it.\n";
  if (r.earlier == Earlier::kNotPlain)
    out += std::string(kListingFileName) +
           " here is not a plain file (a symbolic link, say): it was not read as an earlier "
           "listing, and the new listing replaces it.\n";
  const Comparison& c = r.comparison;
  if (!r.comparison_accepted) return out;
  if (!r.comparison_saved && !r.comparison_placed)
    return out + "The comparison could not be written, so nothing of it is reported.\n";
  out += "Compared with the earlier listing: " + status_counts_text(c.counts) + "\n";
  if (c.cut_short)
    out += "The earlier listing was cut short: it ends after " + std::to_string(c.entries) +
           (c.entries == 1 ? " entry" : " entries") +
           " without the empty line every listing ends with. Files it would have named after "
           "its end were not checked.\n";
  if (c.overlong_lines > 0)
    out += std::to_string(c.overlong_lines) + " line" + (c.overlong_lines == 1 ? "" : "s") +
           " of the earlier listing " + (c.overlong_lines == 1 ? "was" : "were") + " longer than " +
           std::to_string(LineReader::kLineLimit) +
           " bytes: no entry is, so they were passed over.\n";
  if (c.read_failed)
    out +=
        "The earlier listing could not be read to its end: " + visible(c.read_error.message) + "\n";
  if (!lines_shown) {
    for (const ComparedLine& p : c.problems)
      out += "  " + std::string(status_text(p.status)) + ": " + visible(p.old_line) + "\n";
  }
  if (!lines_shown && c.problem_count() > c.problems.size())
    out += "  and " + std::to_string(c.problem_count() - c.problems.size()) + " more" +
           (r.comparison_path.empty() ? std::string() : " in " + visible(r.comparison_path)) + "\n";
  if (c.unmodified_mismatches > 0)
    out += counted_list(
        "Changed but not modified since the earlier listing was written (possible damage, or "
        "an older copy put back)",
        c.unmodified_mismatches, c.unmodified_names);
  if (!c.new_names.empty()) {
    out += "New since the earlier listing:\n";
    for (const std::string& name : c.new_names) out += "  " + visible(name) + "\n";
  }
  return out;
}

ExitStatus exit_status(const RunReport& r, bool verifying) {
  const Comparison& c = r.comparison;
  if (!r.opened || !r.listing.enumerated || !r.listing_saved ||
      (r.comparison_accepted && !r.comparison_saved))
    return kExitTrouble;
  // A comparison that stopped part-way through the earlier listing, or a listing cut short, has
  // not looked at the rest.
  if (r.comparison_accepted && (c.read_failed || c.cut_short)) return kExitTrouble;
  if (verifying && !r.comparison_accepted) return kExitTrouble;
  if (r.comparison_accepted && c.problem_count() > 0) return kExitDifferences;
  return kExitDone;
}

std::string exit_reason(const RunReport& r, ExitStatus status, const std::string& problem) {
  if (status == kExitDone) return {};
  if (!problem.empty()) return problem;
  const Comparison& c = r.comparison;
  if (!r.opened) return "the folder could not be opened: " + r.open_error.message;
  if (!r.listing.enumerated)
    return "the folder could not be read to its end: " + r.listing.enumerate_error.message;
  // In place, yet not known to be durable: the error says "written, but not known to be durable".
  if (r.comparison_accepted && r.comparison_placed)
    return "the comparison was " + r.comparison_error.message;
  if (r.comparison_accepted && !r.comparison_saved)
    return "the comparison could not be written" +
           (r.comparison_error.message.empty() ? std::string() : ": " + r.comparison_error.message);
  if (r.listing_placed) return "the listing was " + r.listing_error.message;
  if (!r.listing_saved) return "the listing could not be written: " + r.listing_error.message;
  if (r.comparison_accepted && c.read_failed)
    return "the earlier listing could not be read to its end: " + c.read_error.message;
  if (r.comparison_accepted && c.cut_short)
    return "the earlier listing was cut short after " + std::to_string(c.entries) + " entries";
  return "the comparison found " + std::to_string(c.problem_count()) +
         " changed, missing or unreadable " + (c.problem_count() == 1 ? "file" : "files");
}

std::string missing_listing_text(const RunReport& r, const std::string& listing_path) {
  const std::string path = visible(earlier_listing_path(r.folder_path, listing_path));
  switch (r.earlier) {
    case Earlier::kNone:
      return "no earlier listing to verify against: " + path + " does not exist";
    case Earlier::kNotPlain:
      return path + " is not a plain file (a symbolic link, say): not read as a listing";
    case Earlier::kNotAListing:
      return path + " is not a listing of this program";
    case Earlier::kUnreadable:
      return path + " cannot be read: " + visible(r.earlier_error.message);
    case Earlier::kListing:
      break;
  }
  return {};
}

void TreeTotals::add(const RunReport& r, ExitStatus folder_status) {
  ++folders;
  files += r.listing.files_listed;
  bytes += r.listing.bytes;
  if (r.comparison_accepted) {
    ++compared;
    for (int i = 0; i < kStatusCount; ++i) counts[i] += r.comparison.counts[i];
  }
  unreadable.insert(unreadable.end(), r.listing.unreadable.begin(), r.listing.unreadable.end());
  if (r.comparison_accepted) {
    unmodified_changes += r.comparison.unmodified_mismatches;
    for (const std::string& name : r.comparison.unmodified_names)
      unmodified_paths.push_back(r.folder_path + name);
  }
  if (!r.opened) failed.push_back(r.folder_path + ": " + r.open_error.message);
  if (r.opened && !r.listing.enumerated)
    failed.push_back(r.folder_path + ": " + r.listing.enumerate_error.message);
  status = std::max(status, folder_status);
  if (folder_status == kExitTrouble) ++folders_with_trouble;
  if (folder_status == kExitDifferences) ++folders_with_differences;
}

std::string exit_reason(const TreeTotals& t) {
  const auto folders = [](std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " folder" : " folders");
  };
  if (t.status == kExitTrouble)
    return "trouble in " + folders(t.folders_with_trouble) + " (\"Folders with trouble\")";
  if (t.status == kExitDifferences)
    return "the comparison found changed, missing or unreadable files in " +
           folders(t.folders_with_differences);
  return {};
}

std::string tree_summary_text(const TreeTotals& t) {
  std::string out;
  char line[300];
  std::snprintf(line, sizeof line, "Tree: %llu folder%s, %llu file%s, %s, in %.2f s.\n",
                static_cast<unsigned long long>(t.folders), t.folders == 1 ? "" : "s",
                static_cast<unsigned long long>(t.files), t.files == 1 ? "" : "s",
                human_bytes(t.bytes).c_str(), t.seconds);
  out += line;
  if (t.compared > 0)
    out += "Compared in " + std::to_string(t.compared) +
           (t.compared == 1 ? " folder: " : " folders: ") + status_counts_text(t.counts) + "\n";
  if (t.unmodified_changes > 0)
    out += counted_list(
        "Changed but not modified since their earlier listings were written (possible damage, "
        "or an older copy put back)",
        t.unmodified_changes, t.unmodified_paths);
  if (!t.unreadable.empty()) {
    out += "Could not be read in the tree:\n";
    for (const UnreadableFile& u : t.unreadable)
      out += "  " + visible(u.path) + ": " + visible(u.error.message) + "\n";
  }
  if (!t.failed.empty()) {
    out += "Folders with trouble:\n";
    for (const std::string& f : t.failed) out += "  " + visible(f) + "\n";
  }
  return out;
}

}  // namespace sw::cli
