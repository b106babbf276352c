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
  const std::string& folder = report.folder_path;
  report.listing = BUILDCRCLIST(folder, &ui);
  ui.on_listing_done();
  const Listing& listing = report.listing;
  if (!listing.enumerated || !listing.unreadable.empty() || !listing.shared_columns.empty())
    ui.report_listing_problems(folder, listing);
  if (!listing.enumerated) return report;

  report.comparison = COMPARECRCLIST(folder, listing);
  bool comparison_shown = false;
  if (report.comparison.comparable && ui.ask(Question::kCompare, kCompareQuestion)) {
    report.comparison_accepted = true;
    const std::string path = folder + std::string(kComparisonFileName);
    report.comparison_saved = SAVETEXTFILE(path, report.comparison.text, &report.comparison_error);
    if (report.comparison_saved) {
      ui.show_file(path);
      comparison_shown = true;
    } else {
      ui.report_write_failure(path, report.comparison_error);
    }
  }

  const std::string listing_path = folder + std::string(kListingFileName);
  report.listing_saved = SAVETEXTFILE(listing_path, report.listing.text, &report.listing_error);
  if (!report.listing_saved) {
    ui.report_write_failure(listing_path, report.listing_error);
  } else if (!comparison_shown || ui.ask(Question::kShowListing, kShowListingQuestion)) {
    ui.show_file(listing_path);
  }
  return report;
}

}  // namespace sw
