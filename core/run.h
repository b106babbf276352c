// One run: one open folder listed, compared with its earlier listing when the plan says so, and
// the results saved and shown. The same sequence serves the Windows dialog and the command line;
// each chooses the folder, opens it and supplies a RunFrontEnd.
#pragma once

#include <string>
#include <string_view>

#include "core/checksum_pass.h"
#include "core/compare.h"
#include "core/folder_stream.h"
#include "core/listing.h"
#include "core/os/fs.h"
#include "core/save_batch.h"
#include "core/stop.h"

namespace sw {

inline constexpr std::string_view kCompareQuestion =
    "Existing CRC List Found, Do You Want To Compare?";
inline constexpr std::string_view kShowListingQuestion = "Do you want to see newly generated CRCs?";
inline constexpr std::string_view kDoneText = "Done";

enum class Question { kCompare, kShowListing };

class RunFrontEnd : public ListingObserver {
 public:
  // The listing is complete: both progress fields show "Done".
  virtual void on_listing_done() {}
  // Right after on_listing_done and before any question: what the user must know of the
  // listing, when anything (an enumeration that failed part-way, files that could not be read,
  // names the listing cannot tell apart). Not called when all went well.
  virtual void report_listing_problems(const std::string& /*folder_path*/,
                                       const Listing& /*listing*/) {}
  // A yes/no question; true for yes. The comparison is asked only when the plan says so.
  virtual bool ask(Question question, std::string_view text) = 0;
  // A file was put in place: written whole, replacing any earlier one. Said also after a stop,
  // of what was put in place before it.
  virtual void report_written(const std::string& /*path*/) {}
  // Shows a file that was just written.
  virtual void show_file(const std::string& path) = 0;
  // The earlier listing at `path` could not be read, so it was not compared.
  virtual void report_earlier_unreadable(const std::string& /*path*/,
                                         const fs::SysError& /*error*/) {}
  // The earlier listing was compared but is damaged: cut short before its closing empty line
  // (files after its end were not checked), or holding lines too long to be entries.
  virtual void report_earlier_damage(const std::string& /*path*/, const Comparison& /*result*/) {}
  // The comparison found files that changed without being modified after the earlier listing
  // was written (Comparison::unmodified_names): possible damage, or an older copy put back.
  virtual void report_unmodified_changes(const std::string& /*folder_path*/,
                                         const Comparison& /*result*/) {}
  // An output file could not be written; the earlier one is unchanged.
  virtual void report_write_failure(const std::string& path, const fs::SysError& error) = 0;
  // An output file was put in place, replacing the earlier one, but could not be made durable
  // (`error` says "written, but not known to be durable" and why): a power cut could still lose
  // it.
  virtual void report_not_durable(const std::string& path, const fs::SysError& error) {
    report_write_failure(path, error);
  }
  // The comparison could not be written to `intended` (`error` says why) and was written to
  // `written`, in the plan's fallback folder, instead; that file is then shown.
  virtual void report_comparison_elsewhere(const std::string& /*intended*/,
                                           const fs::SysError& /*error*/,
                                           const std::string& /*written*/) {}
};

// Whether an earlier listing is compared with.
enum class CompareChoice : std::uint8_t { kAsk, kYes, kNo };

// Where a run reads and writes, when not in the folder itself, and whether it compares. The
// window always runs the default plan: everything in the folder, the comparison asked for.
struct RunPlan {
  // The one stop request of the run (the window's close box, a signal); null: nothing stops it.
  const StopRequest* stop = nullptr;
  // Reader threads at most: what the process's open files allow (HandleBudget::readers).
  std::size_t readers = ChecksumPass::kDefaultReaders;
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
  // Where the folder's own comparison goes when the folder cannot take it (read-only media),
  // so that it can still be shown: a folder (native form, ending in the separator). Empty: the
  // failure is only reported.
  std::string comparison_fallback_folder;
  CompareChoice compare = CompareChoice::kAsk;
  // The folders of a tree save their files into this batch, made durable together; the run
  // then shows them only once settle_batched_saves has the batch's outcomes.
  SaveBatch* batch = nullptr;
  std::size_t kept_problems = kKeptProblemLines;

  // Whether the run writes into the folder, and so may tidy it up too.
  bool writes_into_folder() const {
    return (write_listing && listing_output.empty()) ||
           (comparison_stream == nullptr && comparison_output.empty());
  }
};

struct RunReport {
  std::string folder_path;  // native form, ending in the separator
  // False when the folder could not be opened (a folder of a tree): then nothing was read or
  // written, anywhere.
  bool opened = true;
  fs::SysError open_error;
  Listing listing;
  Earlier earlier = Earlier::kNone;  // what stood in the folder as its earlier listing
  fs::SysError earlier_error;        // why it could not be read (Earlier::kUnreadable)
  Comparison comparison;
  bool comparison_asked = false;     // the front end was asked whether to compare
  bool comparison_accepted = false;  // compared: the plan said so, or the user said yes
  bool comparison_saved = false;
  fs::SysError comparison_error;
  bool listing_saved = false;  // also true when the plan writes no listing
  std::string listing_path;    // where it was written
  fs::SysError listing_error;
  // Not saved, yet in place: written, but not known to be durable (the error says so).
  bool listing_placed = false;
  bool comparison_placed = false;
  std::string comparison_path;  // where the comparison was written (not for a stream)
  // Files staged in the plan's batch, by their numbers there; settled by settle_batched_saves.
  std::size_t listing_stage = SaveBatch::kNotStaged;
  std::size_t comparison_stage = SaveBatch::kNotStaged;
};

// Where the earlier listing of a run in `folder_path` is: the plan's own, or the folder's.
std::string earlier_listing_path(const std::string& folder_path, const std::string& listing);

// The listing of the open folder, as a run of it makes it: enumerated (the temporary files of the
// plan's outputs set apart), read by a pass of the plan's readers, stopped by its stop request.
Listing list_folder(const fs::Folder& folder, ListingObserver& observer, const RunPlan& plan = {});

// Runs the open folder: lists it, compares as the plan says, saves and shows. The plan's stop
// request is looked at before every step that writes, shows or asks, and between the pieces of
// every read: once it is made, nothing more is written, shown or asked, and whatever was not
// yet written (the listing, the comparison) stays as it was. A folder that cannot be enumerated
// to its end gets no comparison and no new listing: what was found would stand for the whole
// folder, and every name after the failure would be "Not Found in This Folder".
RunReport run_folder(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan = {});

// The same for a folder of a tree, already enumerated and being read by the stream's pass. A
// folder the stream could not open is reported as not opened, and nothing else happens: nothing
// is read or written for it, anywhere.
RunReport run_folder(RunFrontEnd& ui, FolderStream::Prepared& prepared, ChecksumPass& pass,
                     const RunPlan& plan);

// A run's files staged in a batch are settled by its commit: saved or not (then reported), and
// the saved ones shown, in the order a run without a batch shows them; after a stop, nothing is
// shown or reported.
void settle_batched_saves(RunFrontEnd& ui, RunReport& report,
                          const std::vector<SaveBatch::Outcome>& outcomes,
                          const StopRequest* stop = nullptr);

}  // namespace sw
