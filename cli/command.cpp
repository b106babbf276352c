#include "cli/command.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "cli/json_report.h"
#include "cli/line_sink.h"
#include "cli/terminal_front_end.h"
#include "cli/visible.h"
#include "core/os/fs.h"
#include "core/run.h"

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

// A batch of saves ends after this long, so that a slow tree still reports steadily.
constexpr std::chrono::milliseconds kBatchWait{250};

// How many folders' saves a batch may hold: it keeps each folder open until it is committed, and
// two batches may be open at once (one filling, one being committed), so together they take a
// quarter of the files the process may have open (the rest serve the read-ahead).
std::size_t batch_size() {
  constexpr std::size_t kMost = 256, kReserved = 32;
  const std::size_t limit = fs::handle_limit();
  return std::clamp<std::size_t>(limit > kReserved ? (limit - kReserved) / 8 : 1, 1, kMost);
}

RunPlan plan_for(const Options& o, TextSink* lines) {
  RunPlan plan;
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

ExitStatus run_command(const Options& o, bool stdin_is_terminal, bool stderr_is_terminal) {
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

  TerminalFrontEnd ui(o, stdin_is_terminal, stderr_is_terminal);
  VisibleLineSink to_stdout(stdout);
  DiscardSink nowhere;
  // Comparison lines go to standard output when verifying without --output, and never beside
  // JSON Lines or a summary of a run whose listing goes elsewhere.
  TextSink* lines = (o.verify && !o.json) ? static_cast<TextSink*>(&to_stdout) : &nowhere;
  RunPlan plan = plan_for(o, lines);
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
      return;
    }
    if (!problem.empty()) std::cerr << "sumwright: " << problem << '\n';
    std::cout << summary_text(report, seconds, lines_shown, o.recursive);
  };

  if (!o.recursive) {
    const RunReport report = run_folder(ui, top, plan);
    report_folder(report, ui.elapsed_seconds());
  } else {
    // The tree is read as one stream: reads stay in flight from one folder into the next.
    FolderStream stream(std::move(top), ui.wants_byte_totals());
    // Its saves are made durable in batches; a folder is reported once its batch is committed,
    // in the order of the tree. A batch is committed on a thread of its own while the next one
    // fills, so the pass does not wait for the device's flushes; one commit at a time, so the
    // folders are reported in order.
    struct Pending {
      RunReport report;
      double seconds;
    };
    struct Batch {
      std::unique_ptr<SaveBatch> saves;
      std::vector<Pending> folders;
    };
    const auto new_batch = [] {
      return Batch{std::make_unique<SaveBatch>(batch_size(), kBatchWait), {}};
    };
    Batch filling = new_batch(), committing;
    std::future<std::vector<SaveBatch::Outcome>> commit;
    const auto report_batch = [&](Batch& batch, const std::vector<SaveBatch::Outcome>& outcomes) {
      for (Pending& p : batch.folders) {
        if (!o.json) std::cout << "Folder " << visible(p.report.folder_path) << ":\n";
        settle_batched_saves(ui, p.report, outcomes);
        report_folder(p.report, p.seconds);
      }
      std::cout << std::flush;
      batch.folders.clear();
    };
    // Reports the batch being committed once its commit has ended.
    const auto report_committed = [&] {
      if (!commit.valid()) return;
      const std::vector<SaveBatch::Outcome> outcomes = commit.get();
      report_batch(committing, outcomes);
      committing = {};
    };
    const auto start_commit = [&] {
      report_committed();
      committing = std::exchange(filling, new_batch());
      commit = std::async(std::launch::async,
                          [saves = committing.saves.get()] { return saves->commit(); });
    };
    while (FolderStream::Prepared* folder = stream.next()) {
      if (output_failed()) break;  // nothing more could be reported: main() says so
      ui.set_relative_folder(folder->relative);
      const double start = ui.elapsed_seconds();
      plan.batch = filling.saves.get();
      RunReport report = run_folder(ui, *folder, stream.pass(), plan);
      // One answer serves every folder of a tree.
      if (report.comparison_asked)
        plan.compare = report.comparison_accepted ? CompareChoice::kYes : CompareChoice::kNo;
      filling.folders.push_back({std::move(report), ui.elapsed_seconds() - start});
      if (commit.valid() && commit.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        report_committed();
      if (filling.saves->size() == 0 && !commit.valid())
        report_batch(filling, filling.saves->commit());  // nothing staged: reported at once
      else if (filling.saves->due())
        start_commit();
    }
    report_committed();
    report_batch(filling, filling.saves->commit());
  }
  totals.seconds = ui.elapsed_seconds();
  if (o.json)
    std::cout << run_json(totals);
  else if (o.recursive)
    std::cout << tree_summary_text(totals);
  return totals.status;
}

}  // namespace sw::cli
