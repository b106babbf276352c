#include "core/run.h"

#include <cstdint>
#include <tuple>

#include "core/checksum_pass.h"
#include "core/save_text.h"

namespace sw {
namespace {

bool wants_comparison(RunFrontEnd& ui, const RunPlan& plan, RunReport& report) {
  switch (plan.compare) {
    case CompareChoice::kYes:
      return true;
    case CompareChoice::kNo:
      return false;
    case CompareChoice::kAsk:
      break;
  }
  report.comparison_asked = true;
  return ui.ask(Question::kCompare, kCompareQuestion);
}

// The comparison written as `name` in `target`; true when it was saved whole.
bool write_comparison(const fs::Folder& folder, const fs::Folder& target, const std::string& name,
                      const CompareOptions& options, RunReport& report) {
  TextFileWriter writer;
  if (!writer.open(target, name, &report.comparison_error)) return false;
  report.comparison = COMPARECRCLIST(folder, report.listing, writer, options);
  report.comparison_saved = report.comparison.comparable && writer.commit(&report.comparison_error);
  return report.comparison_saved;
}

// A comparison the folder could not take, written to the plan's fallback folder instead (the
// earlier listing is read again: what was written into the folder is gone with its temporary
// file). Only for the folder's own comparison; the reason it failed there is kept.
bool write_comparison_elsewhere(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan,
                                const CompareOptions& options, RunReport& report) {
  if (plan.comparison_fallback_folder.empty() || !plan.comparison_output.empty()) return false;
  const fs::SysError why = report.comparison_error;
  const std::string name(kComparisonFileName);
  fs::Folder fallback;
  if (!fallback.open(plan.comparison_fallback_folder, &report.comparison_error) ||
      !write_comparison(folder, fallback, name, options, report)) {
    report.comparison_error = why;
    return false;
  }
  const std::string intended = report.comparison_path;
  report.comparison_path = fallback.path() + name;
  ui.report_comparison_elsewhere(intended, why, report.comparison_path);
  return true;
}

// The comparison written into the folder, or to a path of its own (one without a folder part is
// in the working directory), or streamed; true when it was written to a file that can be shown.
bool compare(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan, RunReport& report) {
  const CompareOptions options{plan.earlier_listing, plan.kept_problems};
  if (plan.comparison_stream != nullptr) {
    report.comparison = COMPARECRCLIST(folder, report.listing, *plan.comparison_stream, options);
    report.comparison_saved = report.comparison.comparable && !report.comparison.write_failed;
    return false;
  }
  std::string name(kComparisonFileName);
  if (!plan.comparison_output.empty()) remove_abandoned_saves(plan.comparison_output);
  fs::Folder elsewhere;
  const fs::Folder* target = &folder;
  bool ready = true;
  report.comparison_path = report.folder_path + name;
  if (!plan.comparison_output.empty()) {
    report.comparison_path = plan.comparison_output;
    std::string where;
    std::tie(where, name) = fs::split_path(plan.comparison_output);
    target = &elsewhere;
    if (!where.empty()) ready = elsewhere.open(where, &report.comparison_error);
  }
  if (ready && write_comparison(folder, *target, name, options, report)) return true;
  // Nothing to write: the earlier listing turned out to be no listing after all.
  if (!report.comparison.comparable && report.comparison_error.message.empty()) return false;
  if (write_comparison_elsewhere(ui, folder, plan, options, report)) return true;
  ui.report_write_failure(report.comparison_path, report.comparison_error);
  return false;
}

void save_listing(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan,
                  bool comparison_shown, RunReport& report) {
  if (!plan.write_listing) {
    report.listing_saved = true;
    return;
  }
  if (plan.listing_output.empty()) {
    const std::string name(kListingFileName);
    report.listing_path = report.folder_path + name;
    report.listing_saved = SAVETEXTFILE(folder, name, report.listing.text, &report.listing_error);
  } else {
    report.listing_path = plan.listing_output;
    remove_abandoned_saves(plan.listing_output);
    report.listing_saved =
        SAVETEXTFILE(plan.listing_output, report.listing.text, &report.listing_error);
  }
  if (!report.listing_saved) {
    ui.report_write_failure(report.listing_path, report.listing_error);
  } else if (!comparison_shown || ui.ask(Question::kShowListing, kShowListingQuestion)) {
    ui.show_file(report.listing_path);
  }
}

// Everything after the listing: the report of its problems, the tidying, the comparison and the
// saves, in that order.
void finish(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan, RunReport& report) {
  // A stopped run leaves everything as it was: no comparison, no listing, no tidying.
  if (report.listing.stopped) return;
  ui.on_listing_done();
  const Listing& listing = report.listing;
  if (!listing.enumerated || !listing.unreadable.empty() || !listing.shared_columns.empty())
    ui.report_listing_problems(report.folder_path, listing);
  if (!listing.enumerated) return;
  // Temporary files whose writer is gone (a run that was killed) do not pile up; a run that
  // writes nothing into the folder leaves it untouched.
  if (plan.writes_into_folder())
    for (const std::string& name : listing.own_temporaries)
      fs::ops().remove_unheld(folder.get(), name);

  report.earlier = find_earlier_listing(folder, plan.earlier_listing, &report.earlier_error);
  if (report.earlier == Earlier::kUnreadable)
    ui.report_earlier_unreadable(earlier_listing_path(report.folder_path, plan.earlier_listing),
                                 report.earlier_error);
  bool comparison_shown = false;
  if (report.earlier == Earlier::kListing && wants_comparison(ui, plan, report)) {
    report.comparison_accepted = true;
    const bool written = compare(ui, folder, plan, report);
    // What the user must know of the comparison comes before it is shown.
    const Comparison& c = report.comparison;
    if (c.comparable && (c.cut_short || c.overlong_lines > 0))
      ui.report_earlier_damage(earlier_listing_path(report.folder_path, plan.earlier_listing), c);
    if (written) {
      ui.show_file(report.comparison_path);
      comparison_shown = true;
    }
  }
  save_listing(ui, folder, plan, comparison_shown, report);
}

}  // namespace

std::string earlier_listing_path(const std::string& folder_path, const std::string& listing) {
  return listing.empty() ? folder_path + std::string(kListingFileName) : listing;
}

RunReport run_folder(RunFrontEnd& ui, const fs::Folder& folder, const RunPlan& plan) {
  RunReport report;
  report.folder_path = folder.path();
  // Files this run writes elsewhere may lie in the folder: their temporary files are not listed.
  std::vector<std::string> outputs;
  for (const std::string* path : {&plan.listing_output, &plan.comparison_output})
    if (!path->empty()) outputs.push_back(fs::split_path(*path).second);
  const EnumeratedFolder found = enumerate_folder(folder, ui.wants_byte_totals(), outputs);
  ChecksumPass pass(folder.get(), found.entries);
  report.listing = BUILDCRCLIST(folder, found, pass, &ui);
  finish(ui, folder, plan, report);
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
  finish(ui, *prepared.folder, plan, report);
  return report;
}

}  // namespace sw
