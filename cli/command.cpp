#include "cli/command.h"

#include <iostream>
#include <string>
#include <utility>

#include "cli/json_report.h"
#include "cli/line_sink.h"
#include "cli/terminal_front_end.h"
#include "cli/visible.h"
#include "core/handle_budget.h"
#include "core/os/fs.h"
#include "core/run.h"
#include "core/tree_run.h"

namespace sw::cli {
namespace {

// JSON lists every entry that is not "OK", up to this many per folder (about 20 MB): an earlier
// listing may claim any number of lines, and memory must not follow its claims without end.
constexpr std::size_t kJsonKeptEntries = 100'000;

// Why the earlier listing named by --listing cannot be read, or empty.
std::string listing_trouble(const std::string& path) {
  fs::File file;
  fs::SysError err;
  fs::FileFacts facts;  // with an unknown size, only a plain file is opened
  if (!fs::ops().open_read(fs::kNoHandle, path, &facts, file.receive(), &err)) return err.message;
  return {};
}

RunPlan plan_for(const Options& o, TextSink* lines, const StopRequest& stop) {
  RunPlan plan;
  plan.stop = &stop;
  plan.earlier_listing = o.listing;
  if (o.json) plan.kept_problems = kJsonKeptEntries;
  if (o.compare.has_value()) plan.compare = *o.compare ? CompareChoice::kYes : CompareChoice::kNo;
  if (o.verify) {
    plan.write_listing = false;
    plan.compare = CompareChoice::kYes;
    if (o.output.empty())
      plan.comparison_stream = lines;
    else
      plan.comparison_output = o.output;
  } else if (!o.output.empty()) {
    // The listing lives at FILE: the earlier one is read from there too, and since nothing goes
    // into the folder, the comparison is told by the summary only.
    plan.listing_output = o.output;
    if (plan.earlier_listing.empty()) plan.earlier_listing = o.output;
    plan.comparison_stream = lines;
  }
  return plan;
}

}  // namespace

ExitStatus run_command(const Options& o, bool stdin_is_terminal, bool stderr_is_terminal,
                       StopRequest& stop) {
  // One account of the files the run may open: below its floor it could not be done safely.
  HandleBudget budget(HandleBudget::available_now());
  if (!budget.enough()) {
    std::cerr << "sumwright: this process may open only " << budget.available()
              << " more files (ulimit -n); a run needs at least " << HandleBudget::kFloor
              << ". Raise the limit and try again.\n";
    return kExitTrouble;
  }
  fs::Folder top;
  fs::SysError open_error;
  if (!top.open(fs::folder_path(o.folder), &open_error)) {
    std::cerr << "sumwright: " << visible(o.folder) << ": " << visible(open_error.message) << '\n';
    return kExitTrouble;
  }
  // A verification never writes over its own baseline, whatever name the output is given.
  if (o.verify && !o.output.empty()) {
    const fs::Ops& os = fs::ops();
    fs::FileId output, baseline;
    fs::SysError ignored;
    const bool same =
        os.identity(fs::kNoHandle, o.output, &output, &ignored) &&
        (o.listing.empty()
             ? os.identity(top.get(), std::string(kListingFileName), &baseline, &ignored)
             : os.identity(fs::kNoHandle, o.listing, &baseline, &ignored)) &&
        output == baseline;
    if (same) {
      std::cerr << "sumwright: --output " << visible(o.output)
                << " is the earlier listing itself: the comparison would replace it\n"
                << kUsage;
      return kExitTrouble;
    }
  }
  if (!o.listing.empty()) {
    if (const std::string trouble = listing_trouble(o.listing); !trouble.empty()) {
      std::cerr << "sumwright: cannot read the listing " << visible(o.listing) << ": " << trouble
                << '\n';
      return kExitTrouble;
    }
  }

  VisibleLineSink to_stdout(stdout);
  DiscardSink nowhere;
  // Comparison lines go to standard output when verifying without --output, and never beside
  // JSON Lines or a summary of a run whose listing goes elsewhere.
  TextSink* lines = (o.verify && !o.json) ? static_cast<TextSink*>(&to_stdout) : &nowhere;
  RunPlan plan = plan_for(o, lines, stop);
  plan.readers = budget.take_readers(ChecksumPass::kDefaultReaders);
  const bool lines_shown = plan.comparison_stream == &to_stdout;

  TreeTotals totals;
  const auto report_folder = [&](const RunReport& report, double seconds) {
    to_stdout.finish();
    const ExitStatus status = exit_status(report, o.verify);
    std::string problem;
    if (o.verify && report.opened && report.listing.enumerated)
      problem = missing_listing_text(report, o.listing);
    totals.add(report, status);
    if (!problem.empty()) totals.failed.push_back(problem);
    if (o.json) {
      std::cout << folder_json(report, seconds, status, problem);
    } else {
      if (!problem.empty()) std::cerr << "sumwright: " << problem << '\n';
      std::cout << summary_text(report, seconds, lines_shown, o.recursive);
    }
    std::cout << std::flush;
    // Nothing more could be reported: the rest of the tree is not read (main() says why).
    if (output_failed()) stop.request();
  };
  TerminalFrontEnd ui(o, stdin_is_terminal, stderr_is_terminal, report_folder);

  if (!o.recursive) {
    const RunReport report = run_folder(ui, top, plan);
    if (stop.requested()) return kExitTrouble;
    report_folder(report, ui.elapsed_seconds());
  } else {
    const TreeOutcome tree = run_tree(ui, std::move(top), plan, budget);
    if (tree.stopped) {
      if (!output_failed())
        std::cerr << "sumwright: stopped: " << tree.folders
                  << (tree.folders == 1 ? " folder was" : " folders were")
                  << " reported above; nothing else was written\n";
      return kExitTrouble;
    }
  }
  totals.seconds = ui.elapsed_seconds();
  if (o.json)
    std::cout << run_json(totals);
  else if (o.recursive)
    std::cout << tree_summary_text(totals);
  return totals.status;
}

}  // namespace sw::cli
