// One run of the job, from the choice of a folder to the results on screen. The same sequence
// serves the Windows dialog and the command line; each supplies a RunFrontEnd.
#pragma once

#include <string>
#include <string_view>

#include "core/compare.h"
#include "core/folder_stream.h"
#include "core/listing.h"
#include "core/os/fs.h"
#include "core/settings.h"

namespace sw {

inline constexpr std::string_view kCompareQuestion =
    "Existing CRC List Found, Do You Want To Compare?";
inline constexpr std::string_view kShowListingQuestion = "Do you want to see newly generated CRCs?";
inline constexpr std::string_view kDoneText = "Done";
inline constexpr std::string_view kDefaultInitialFolder = "C:\\";

enum class Question { kCompare, kShowListing };

class RunFrontEnd : public ListingObserver {
 public:
  // The folder to checksum, starting the choice at `initial`; empty when the user cancels.
  virtual std::string choose_folder(const std::string& initial) = 0;
  // The listing is complete: both progress fields show "Done".
  virtual void on_listing_done() {}
  // Right after on_listing_done and before any question: what the user must know of the
  // listing, when anything (an enumeration that failed part-way, files that could not be read,
  // names the listing cannot tell apart). Not called when all went well.
  virtual void report_listing_problems(const std::string& /*folder_path*/,
                                       const Listing& /*listing*/) {}
  // A yes/no question; true for yes.
  virtual bool ask(Question question, std::string_view text) = 0;
  // Shows a file that was just written.
  virtual void show_file(const std::string& path) = 0;
  // An output file could not be written; the earlier one is unchanged.
  virtual void report_write_failure(const std::string& path, const fs::SysError& error) = 0;
};

// Where a run reads and writes, when not in the folder itself. The window always runs the
// default plan: everything in the folder.
struct RunPlan {
  // The earlier listing, kept elsewhere (native form); empty: the folder's own.
  std::string earlier_listing;
  // Whether a new listing is written at all (a verification writes none), and where: empty for
  // the folder's own "File CRCs.TXT".
  bool write_listing = true;
  std::string listing_output;
  // Where the comparison goes: when set, as a stream (standard output, say), and no file is
  // written; otherwise to `comparison_output`, or the folder's "CRC Comparison.TXT" when empty.
  TextSink* comparison_stream = nullptr;
  std::string comparison_output;
  // The folders of a tree, read ahead: the run takes its folder, already enumerated and being
  // read, from here (the next one; it must be the chosen folder) instead of opening it.
  FolderStream* stream = nullptr;
  // Compare without asking (a verification); otherwise the front end is asked.
  bool always_compare = false;
  std::size_t kept_problems = kKeptProblemLines;

  // Whether the run writes into the folder, and so may tidy it up too.
  bool writes_into_folder() const {
    return (write_listing && listing_output.empty()) ||
           (comparison_stream == nullptr && comparison_output.empty());
  }
};

struct RunReport {
  bool cancelled = false;
  std::string folder_path;
  Listing listing;
  Earlier earlier = Earlier::kNone;  // what stood in the folder as its earlier listing
  Comparison comparison;
  bool comparison_accepted = false;  // the user said yes to it
  bool comparison_saved = false;
  fs::SysError comparison_error;
  bool listing_saved = false;  // also true when the plan writes no listing
  std::string listing_path;    // where it was written
  fs::SysError listing_error;
  std::string comparison_path;  // where the comparison was written (not for a stream)
};

// Runs the job. With settings, the choice starts at the remembered folder and the chosen
// folder is remembered before anything is checksummed; without (the command line), nothing
// is remembered. A folder that cannot be enumerated to its end gets no comparison and no new
// listing: what was found would stand for the whole folder, and every name after the failure
// would be "Not Found in This Folder".
RunReport run_job(RunFrontEnd& ui, Settings* settings, const RunPlan& plan = {});

}  // namespace sw
