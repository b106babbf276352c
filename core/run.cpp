#include "core/run.h"

#include "core/save_text.h"

namespace sw {

RunReport run_job(RunFrontEnd& ui, Settings* settings) {
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
  fs::Folder folder;
  fs::SysError open_error;
  if (folder.open(folder_path, &open_error)) {
    report.listing = BUILDCRCLIST(folder, &ui);
  } else {
    report.listing = BUILDCRCLIST(folder_path, &ui);
  }
  ui.on_listing_done();
  const Listing& listing = report.listing;
  if (!listing.enumerated || !listing.unreadable.empty() || !listing.shared_columns.empty())
    ui.report_listing_problems(folder_path, listing);
  if (!listing.enumerated) return report;
  // Temporary files whose writer is gone (a run that was killed) do not pile up.
  for (const std::string& name : listing.own_temporaries)
    fs::ops().remove_abandoned(folder.get(), name);

  report.earlier = find_earlier_listing(folder);
  bool comparison_shown = false;
  if (report.earlier == Earlier::kListing && ui.ask(Question::kCompare, kCompareQuestion)) {
    report.comparison_accepted = true;
    const std::string name(kComparisonFileName);
    TextFileWriter writer;
    if (writer.open(folder, name, &report.comparison_error)) {
      report.comparison = COMPARECRCLIST(folder, listing, writer);
      report.comparison_saved =
          report.comparison.comparable && writer.commit(&report.comparison_error);
    }
    if (report.comparison_saved) {
      ui.show_file(folder_path + name);
      comparison_shown = true;
    } else if (report.comparison.comparable || !report.comparison_error.message.empty()) {
      ui.report_write_failure(folder_path + name, report.comparison_error);
    }
  }

  const std::string name(kListingFileName);
  report.listing_saved = SAVETEXTFILE(folder, name, report.listing.text, &report.listing_error);
  if (!report.listing_saved) {
    ui.report_write_failure(folder_path + name, report.listing_error);
  } else if (!comparison_shown || ui.ask(Question::kShowListing, kShowListingQuestion)) {
    ui.show_file(folder_path + name);
  }
  return report;
}

}  // namespace sw
