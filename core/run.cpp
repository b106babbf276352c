#include "core/run.h"

#include <cstdint>
#include <utility>

#include "core/checksum_pass.h"
#include "core/save_text.h"

namespace sw {
namespace {

// One run's parts, for the steps after the listing.
struct Run {
  RunFrontEnd& ui;
  const fs::Folder& folder;
  // The folder shared with a save batch, which keeps it open until its commit; null: saves are
  // made one by one.
  std::shared_ptr<const fs::Folder> shared;
  const RunPlan& plan;
  RunReport& report;
  EarlierListing earlier;

  bool batched() const { return plan.batch != nullptr && shared != nullptr; }
  // Looked at before every step that writes, shows or asks.
  bool stopping() const { return stop_requested(plan.stop); }
};

bool wants_comparison(Run& run) {
  switch (run.plan.compare) {
    case CompareChoice::kYes:
      return true;
    case CompareChoice::kNo:
      return false;
    case CompareChoice::kAsk:
      break;
  }
  run.report.comparison_asked = true;
  return run.ui.ask(Question::kCompare, kCompareQuestion);
}

// Finishes a written file: staged for its batch, or put in place now. False when it failed (the
// reason in `error`); with a batch, true says only that it is staged. A stop before it is put in
// place leaves the earlier file as it was.
bool finish_file(Run& run, TextFileWriter& writer, const std::string& name, std::size_t* stage,
                 fs::SysError* error) {
  if (run.stopping()) return false;
  if (!run.batched()) return writer.commit(error);
  *stage = run.plan.batch->stage(writer, run.shared, name, error);
  return *stage != SaveBatch::kNotStaged;
}

// The comparison written through `writer`, opened where it goes: put in place now, or staged in
// the run's batch when it goes into the folder itself (`name` there). True when it was saved
// whole (or staged); what failed is in the report.
bool write_comparison(Run& run, TextFileWriter& writer, bool opened, const std::string& name,
                      bool into_folder) {
  RunReport& report = run.report;
  if (!opened) return false;
  const CompareOptions options{run.plan.kept_problems, run.plan.stop};
  report.comparison = COMPARECRCLIST(run.earlier, run.folder, report.listing, writer, options);
  if (!report.comparison.comparable || report.comparison.stopped) return false;
  const bool saved = into_folder ? finish_file(run, writer, name, &report.comparison_stage,
                                               &report.comparison_error)
                                 : !run.stopping() && writer.commit(&report.comparison_error);
  report.comparison_placed = writer.placed();
  return saved;
}

// A comparison the folder could not take, written to the plan's fallback folder instead. Where
// the folder's file failed only once the earlier listing was read, it is opened again for this.
// Only for the folder's own comparison; the reason it failed there is kept.
bool write_comparison_elsewhere(Run& run) {
  RunReport& report = run.report;
  const RunPlan& plan = run.plan;
  if (plan.comparison_fallback_folder.empty() || !plan.comparison_output.empty()) return false;
  if (run.stopping()) return false;
  const fs::SysError why = report.comparison_error;
  const std::string name(kComparisonFileName);
  fs::Folder fallback;
  const bool readable = run.earlier.kind() == Earlier::kListing ||
                        run.earlier.open(run.folder, plan.earlier_listing) == Earlier::kListing;
  TextFileWriter writer;
  if (!readable || !fallback.open(plan.comparison_fallback_folder, &report.comparison_error) ||
      !write_comparison(run, writer, writer.open(fallback, name, &report.comparison_error), name,
                        false)) {
    report.comparison_error = why;
    return false;
  }
  const std::string intended = report.comparison_path;
  report.comparison_path = fallback.path() + name;
  run.ui.report_written(report.comparison_path);
  run.ui.report_comparison_elsewhere(intended, why, report.comparison_path);
  return true;
}

// The comparison written into the folder, or to a path of its own (one without a folder part is
// in the working directory), or streamed; true when it was written to a file that can be shown.
bool compare(Run& run) {
  RunReport& report = run.report;
  const RunPlan& plan = run.plan;
  if (plan.comparison_stream != nullptr) {
    const CompareOptions options{plan.kept_problems, plan.stop};
    report.comparison =
        COMPARECRCLIST(run.earlier, run.folder, report.listing, *plan.comparison_stream, options);
    report.comparison_saved = report.comparison.comparable && !report.comparison.write_failed &&
                              !report.comparison.stopped;
    return false;
  }
  // Into the folder, or to a path of its own (one without a folder part is in the working
  // directory; a device or a FIFO there is written straight through).
  const std::string name(kComparisonFileName);
  const bool into_folder = plan.comparison_output.empty();
  report.comparison_path = into_folder ? report.folder_path + name : plan.comparison_output;
  TextFileWriter writer;
  const bool opened = into_folder
                          ? writer.open(run.folder, name, &report.comparison_error)
                          : writer.open_path(plan.comparison_output, &report.comparison_error);
  if (write_comparison(run, writer, opened, name, into_folder)) {
    // A staged comparison is said and shown once its batch has put it in place.
    if (report.comparison_stage != SaveBatch::kNotStaged) return false;
    report.comparison_saved = true;
    run.ui.report_written(report.comparison_path);
    return true;
  }
  if (run.stopping()) return false;
  if (report.comparison_placed) {
    // In place, the earlier file gone: no other place is tried, and it is shown.
    run.ui.report_not_durable(report.comparison_path, report.comparison_error);
    return true;
  }
  // Nothing to write: the earlier listing turned out to be no listing after all.
  if (!report.comparison.comparable && report.comparison_error.message.empty()) return false;
  if (write_comparison_elsewhere(run)) {
    report.comparison_saved = true;
    return true;
  }
  run.ui.report_write_failure(report.comparison_path, report.comparison_error);
  return false;
}

void save_listing(Run& run, bool comparison_shown) {
  RunReport& report = run.report;
  const RunPlan& plan = run.plan;
  if (!plan.write_listing) {
    report.listing_saved = true;
    return;
  }
  if (run.stopping()) return;
  if (plan.listing_output.empty()) {
    const std::string name(kListingFileName);
    report.listing_path = report.folder_path + name;
    TextFileWriter writer;
    report.listing_saved = writer.open(run.folder, name, &report.listing_error);
    if (report.listing_saved) {
      writer.write(report.listing.text);  // a failure shows when the file is finished
      report.listing_saved =
          finish_file(run, writer, name, &report.listing_stage, &report.listing_error);
      report.listing_placed = writer.placed();
    }
    if (report.listing_saved && report.listing_stage != SaveBatch::kNotStaged) {
      report.listing_saved = false;  // not yet: its batch says
      return;
    }
  } else {
    report.listing_path = plan.listing_output;
    report.listing_saved = !run.stopping() && SAVETEXTFILE(plan.listing_output, report.listing.text,
                                                           &report.listing_error);
  }
  if (run.stopping()) return;  // nothing more is said than what was put in place
  if (report.listing_placed) {
    run.ui.report_not_durable(report.listing_path, report.listing_error);
  } else if (!report.listing_saved) {
    run.ui.report_write_failure(report.listing_path, report.listing_error);
    return;
  } else {
    run.ui.report_written(report.listing_path);
  }
  if (!comparison_shown) {
    run.ui.show_file(report.listing_path);
    return;
  }
  const bool show = run.ui.ask(Question::kShowListing, kShowListingQuestion);
  if (show && !run.stopping()) run.ui.show_file(report.listing_path);
}

// Everything after the listing: the report of its problems, the tidying, the comparison and the
// saves, in that order, each only while no stop has been requested.
void finish(Run& run) {
  RunReport& report = run.report;
  const RunPlan& plan = run.plan;
  RunFrontEnd& ui = run.ui;
  // A stopped run leaves everything as it was: no comparison, no listing, no tidying.
  if (report.listing.stopped || run.stopping()) {
    report.listing.stopped = true;
    return;
  }
  ui.on_listing_done();
  const Listing& listing = report.listing;
  if (!listing.enumerated || !listing.unreadable.empty() || !listing.shared_columns.empty())
    ui.report_listing_problems(report.folder_path, listing);
  if (!listing.enumerated || run.stopping()) return;
  // Temporary files whose writer is gone (a run that was killed) do not pile up; a run that
  // writes nothing into the folder leaves it untouched.
  if (plan.writes_into_folder())
    for (const std::string& name : listing.own_temporaries)
      fs::ops().remove_unheld(run.folder.get(), name);

  report.earlier = run.earlier.open(run.folder, plan.earlier_listing);
  report.earlier_error = run.earlier.error();
  const std::string earlier_path = earlier_listing_path(report.folder_path, plan.earlier_listing);
  if (report.earlier == Earlier::kUnreadable)
    ui.report_earlier_unreadable(earlier_path, report.earlier_error);
  bool comparison_shown = false;
  const bool compare_it =
      report.earlier == Earlier::kListing && !run.stopping() && wants_comparison(run);
  // A stop asked for while a question was open still writes nothing.
  if (run.stopping()) return;
  if (compare_it) {
    report.comparison_accepted = true;
    const bool written = compare(run);
    if (run.stopping()) return;
    // What the user must know of the comparison comes before it is shown.
    const Comparison& c = report.comparison;
    if (c.comparable && (c.cut_short || c.overlong_lines > 0))
      ui.report_earlier_damage(earlier_path, c);
    if (c.comparable && c.unmodified_mismatches > 0 && !run.stopping())
      ui.report_unmodified_changes(report.folder_path, c);
    if (written && !run.stopping()) {
      ui.show_file(report.comparison_path);
      comparison_shown = true;
    }
  }
  // The earlier listing is let go before a save replaces it.
  run.earlier.close();
  save_listing(run, comparison_shown);
}

}  // namespace

std::string earlier_listing_path(const std::string& folder_path, const std::string& listing) {
  return listing.empty() ? folder_path + std::string(kListingFileName) : listing;
}

namespace {

// The names, in `folder`, of the files the run writes or reads as its own by paths of the user's
// choosing (its --output, its --listing), by the name given and by where its links lead: they and
// their temporary files are the run's, set apart from the listing and skipped by the comparison.
// Were it listed, an output inside the folder would be a "CRC Missmatch" at every run.
std::vector<std::string> run_files_in(const fs::Folder& folder, const RunPlan& plan) {
  std::vector<std::string> names;
  const fs::Ops& os = fs::ops();
  fs::FileId here;
  fs::SysError ignored;
  if (!os.identity(folder.get(), "", &here, &ignored)) return names;
  for (const std::string* path :
       {&plan.listing_output, &plan.comparison_output, &plan.earlier_listing}) {
    if (path->empty()) continue;
    fs::OutputTarget target;
    const bool led = os.resolve_output(*path, &target, &ignored) && target.path != *path;
    for (const std::string& at : {*path, led ? target.path : std::string()}) {
      if (at.empty()) continue;
      const auto [where, name] = fs::split_path(at);
      fs::FileId there;
      if (os.identity(fs::kNoHandle, where.empty() ? std::string(".") : where, &there, &ignored) &&
          there == here)
        names.push_back(name);
    }
  }
  return names;
}

}  // namespace

Listing list_folder(const fs::Folder& folder, ListingObserver& observer, const RunPlan& plan) {
  const EnumeratedFolder found =
      enumerate_folder(folder, observer.wants_byte_totals(), run_files_in(folder, plan));
  ChecksumPass pass(folder.get(), found.entries, plan.readers, plan.stop);
  return BUILDCRCLIST(folder, found, pass, &observer);
}

RunReport run_folder(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan) {
  RunReport report;
  report.folder_path = folder.path();
  report.listing = list_folder(folder, ui, plan);
  Run run{ui, folder, nullptr, plan, report, {}};
  finish(run);
  return report;
}

RunReport run_folder(RunFrontEnd& ui, FolderStream::Prepared& prepared, ChecksumPass& pass,
                     const RunPlan& plan) {
  RunReport report;
  report.folder_path = prepared.path;
  if (prepared.folder == nullptr || !prepared.folder->is_open()) {
    report.opened = false;
    report.open_error = prepared.open_error;
    return report;
  }
  report.listing = BUILDCRCLIST(*prepared.folder, prepared.found, pass, &ui);
  Run run{ui, *prepared.folder, prepared.folder, plan, report, {}};
  finish(run);
  return report;
}

void settle_batched_saves(RunFrontEnd& ui, RunReport& report,
                          const std::vector<SaveBatch::Outcome>& outcomes,
                          const StopRequest* stop) {
  // In the order a run without a batch shows them: the comparison, then the listing. What was
  // put in place is said even after a stop; nothing is shown then, and no failure reported.
  const auto settle = [&](std::size_t& stage, bool& saved, bool& placed, fs::SysError& error,
                          const std::string& path) {
    if (stage == SaveBatch::kNotStaged) return;
    const SaveBatch::Outcome& outcome = outcomes.at(std::exchange(stage, SaveBatch::kNotStaged));
    saved = outcome.saved;
    placed = outcome.placed;
    if (saved) {
      ui.report_written(path);
      if (!stop_requested(stop)) ui.show_file(path);
      return;
    }
    error = outcome.error;
    if (placed) {
      ui.report_not_durable(path, error);  // in place: said even after a stop
      if (!stop_requested(stop)) ui.show_file(path);
    } else if (!stop_requested(stop)) {
      ui.report_write_failure(path, error);
    }
  };
  settle(report.comparison_stage, report.comparison_saved, report.comparison_placed,
         report.comparison_error, report.comparison_path);
  settle(report.listing_stage, report.listing_saved, report.listing_placed, report.listing_error,
         report.listing_path);
}

}  // namespace sw
