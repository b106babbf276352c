// The report printed at the end of a run, and the exit status it stands for.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/run.h"

namespace sw::cli {

enum ExitStatus : int { kExitDone = 0, kExitDifferences = 1, kExitTrouble = 2 };

// The summary of one folder's run. `lines_shown`: the comparison's lines were printed already,
// so they are counted but not repeated. `in_tree`: the folder is one of a tree (-r).
std::string summary_text(const RunReport& report, double seconds, bool lines_shown = false,
                         bool in_tree = false);

// `verifying`: the run is a verification, which fails without a comparable earlier listing.
ExitStatus exit_status(const RunReport& report, bool verifying = false);

// Why the run of one folder ends with `status` (not kExitDone): what failed, or what the
// comparison found. `problem` is the verification's own (missing_listing_text), if any.
std::string exit_reason(const RunReport& report, ExitStatus status, const std::string& problem);

// Why a verification found nothing to compare with, naming the listing; empty when it did.
std::string missing_listing_text(const RunReport& report, const std::string& listing_path);

// The sums over the folders of a tree.
struct TreeTotals {
  std::uint64_t folders = 0, files = 0, bytes = 0, compared = 0;
  double seconds = 0;
  std::array<std::uint64_t, kStatusCount> counts{};
  std::vector<UnreadableFile> unreadable;  // every file that could not be read, by its path
  std::vector<std::string> failed;         // folders with trouble, each with the reason
  // Files changed without being modified since their folder's earlier listing, by their paths.
  std::uint64_t unmodified_changes = 0;
  std::vector<std::string> unmodified_paths;
  ExitStatus status = kExitDone;  // the worst of the folders
  std::uint64_t folders_with_trouble = 0, folders_with_differences = 0;

  void add(const RunReport& report, ExitStatus folder_status);
};

std::string tree_summary_text(const TreeTotals& totals);

// Why the whole command ends with its status (not kExitDone).
std::string exit_reason(const TreeTotals& totals);

}  // namespace sw::cli
