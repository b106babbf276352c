#include "core/run.h"

#include <tuple>

#include "core/save_text.h"

namespace sw {

RunReport run_job(RunFrontEnd& ui, Settings* settings, const RunPlan& plan) {
  RunReport report;
  std::string initial = settings != nullptr ? settings->remembered_folder() : std::string();
  if (initial.empty()) initial = kDefaultInitialFolder;
  initial = fs::native_form(initial);

  const std::string chosen = ui.choose_folder(initial);
  if (chosen.empty()) {
    report.cancelled = true;
    return report;
  }
  if (settings != nullptr) {
    // Kept in the listing form, by a path that still names the folder where there is one.
    settings->store_folder(fs::best_listing_form(chosen));
    settings->save();
  }

  report.folder_path = fs::folder_path(chosen);
  const std::string& folder_path = report.folder_path;
  // One open folder serves the whole run: nothing can swap another in under it.
  fs::Folder opened;
  FolderStream::Prepared* prepared = plan.stream != nullptr ? plan.stream->next() : nullptr;
  fs::Folder& folder = prepared != nullptr ? prepared->folder : opened;
  fs::SysError open_error;
  if (prepared != nullptr && folder.is_open()) {
    report.listing = BUILDCRCLIST(folder, prepared->found, plan.stream->pass(), &ui);
  } else if (prepared == nullptr && folder.open(folder_path, &open_error)) {
    report.listing = BUILDCRCLIST(folder, &ui);
  } else {
    report.listing = BUILDCRCLIST(folder_path, &ui);
  }
  ui.on_listing_done();
  const Listing& listing = report.listing;
  if (!listing.enumerated || !listing.unreadable.empty() || !listing.shared_columns.empty())
    ui.report_listing_problems(folder_path, listing);
  if (!listing.enumerated) return report;
  // Temporary files whose writer is gone (a run that was killed) do not pile up; a run that
  // writes nothing into the folder leaves it untouched.
  if (plan.writes_into_folder())
    for (const std::string& name : listing.own_temporaries)
      fs::ops().remove_abandoned(folder.get(), name);

  report.earlier = find_earlier_listing(folder, plan.earlier_listing);
  bool comparison_shown = false;
  if (report.earlier == Earlier::kListing &&
      (plan.always_compare || ui.ask(Question::kCompare, kCompareQuestion))) {
    report.comparison_accepted = true;
    const CompareOptions options{plan.earlier_listing, plan.kept_problems};
    if (plan.comparison_stream != nullptr) {
      report.comparison = COMPARECRCLIST(folder, listing, *plan.comparison_stream, options);
      report.comparison_saved = report.comparison.comparable;
    } else {
      // Written into the folder, or to a path of its own (one without a folder part is in the
      // working directory).
      std::string name(kComparisonFileName);
      fs::Folder elsewhere;
      const fs::Folder* target = &folder;
      bool ready = true;
      report.comparison_path = folder_path + name;
      if (!plan.comparison_output.empty()) {
        report.comparison_path = plan.comparison_output;
        std::string where;
        std::tie(where, name) = fs::split_path(plan.comparison_output);
        target = &elsewhere;
        if (!where.empty()) ready = elsewhere.open(where, &report.comparison_error);
      }
      TextFileWriter writer;
      if (ready && writer.open(*target, name, &report.comparison_error)) {
        report.comparison = COMPARECRCLIST(folder, listing, writer, options);
        report.comparison_saved =
            report.comparison.comparable && writer.commit(&report.comparison_error);
      }
      if (report.comparison_saved) {
        ui.show_file(report.comparison_path);
        comparison_shown = true;
      } else if (report.comparison.comparable || !report.comparison_error.message.empty()) {
        ui.report_write_failure(report.comparison_path, report.comparison_error);
      }
    }
  }

  if (!plan.write_listing) {
    report.listing_saved = true;
    return report;
  }
  if (plan.listing_output.empty()) {
    const std::string name(kListingFileName);
    report.listing_path = folder_path + name;
    report.listing_saved = SAVETEXTFILE(folder, name, report.listing.text, &report.listing_error);
  } else {
    report.listing_path = plan.listing_output;
    report.listing_saved =
        SAVETEXTFILE(plan.listing_output, report.listing.text, &report.listing_error);
  }
  if (!report.listing_saved) {
    ui.report_write_failure(report.listing_path, report.listing_error);
  } else if (!comparison_shown || ui.ask(Question::kShowListing, kShowListingQuestion)) {
    ui.show_file(report.listing_path);
  }
  return report;
}

}  // namespace sw
