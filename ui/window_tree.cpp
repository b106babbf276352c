#include "ui/window_tree.h"

#include <utility>

#include "core/handle_budget.h"
#include "core/save_text.h"
#include "core/tree_run.h"
#include "ui/tree_summary.h"
#include "ui/window_plan.h"
#include "win32/notepad.h"

namespace sw::ui {
namespace {

// The window's face for a tree: progress over the whole tree, nothing shown or said of each
// folder (no box, no Notepad), everything gathered for the end.
class WindowTreeFrontEnd final : public WindowRunFrontEnd {
 public:
  WindowTreeFrontEnd(WindowRunFrontEnd& window, TreeSummary& summary)
      : WindowRunFrontEnd(window.dialog(), window.progress(), window.stop()), summary_(summary) {}

  // The totals are the tree's, set once before it starts.
  void on_start(std::uint64_t, std::uint64_t) override {}
  void on_name(std::string_view name) override {
    shown_.assign(relative_).append(name);
    WindowRunFrontEnd::on_name(shown_);
  }
  void on_listing_done() override {}  // "Done" once, when the tree is
  void on_folder_start(const std::string& relative) override {
    relative_ = relative.empty() ? relative : fs::best_listing_form(relative) + fs::separator();
  }
  void on_folder_done(const RunReport& report, double /*seconds*/) override {
    summary_.add(report);
  }
  // Said at the end, once for the tree.
  void report_listing_problems(const std::string&, const Listing&) override {}
  void report_earlier_unreadable(const std::string&, const fs::SysError&) override {}
  void report_earlier_damage(const std::string&, const Comparison&) override {}
  void report_unmodified_changes(const std::string&, const Comparison&) override {}
  void report_write_failure(const std::string&, const fs::SysError&) override {}
  void report_not_durable(const std::string&, const fs::SysError&) override {}
  void show_file(const std::string&) override {}

 private:
  TreeSummary& summary_;
  std::string relative_, shown_;
};

}  // namespace

void run_chosen_folder(WindowRunFrontEnd& window, fs::Folder folder) {
  if (count_subfolders(folder) > 0 && window.ask_default_no(kSubfoldersQuestion)) {
    run_window_tree(window, std::move(folder));
    return;
  }
  if (window.stop().requested()) return;
  run_folder(window, folder, window_run_plan(window.stop()));
}

void run_window_tree(WindowRunFrontEnd& window, fs::Folder top) {
  const StopRequest& stop = window.stop();
  if (stop.requested()) return;
  // Progress over the whole tree: its size first, read from the enumerations alone.
  const TreeSize size = measure_tree(top, &stop);
  if (stop.requested()) return;
  window.progress().start(size.bytes);
  TreeSummary summary(fs::best_listing_form(top.path()));
  WindowTreeFrontEnd tree(window, summary);
  HandleBudget budget(HandleBudget::available_now());
  RunPlan plan;
  plan.stop = &stop;
  plan.readers = budget.take_readers(ChecksumPass::kDefaultReaders);
  // No place for a comparison a folder cannot take: each folder's would replace the last's.
  const TreeOutcome outcome = run_tree(tree, std::move(top), plan, budget);
  if (outcome.stopped || stop.requested()) return;  // nothing more is shown
  window.on_listing_done();
  for (const std::string& text :
       {summary.unreadable_text(), summary.damage_text(), summary.trouble_text()}) {
    if (stop.requested()) return;
    if (!text.empty()) window.show_box(text);
  }
  if (stop.requested()) return;
  const std::string folder = user_temporary_folder();
  const std::string path = folder + kTreeSummaryName;
  fs::SysError error;
  if (folder.empty() || !SAVETEXTFILE(path, summary.text(), &error)) {
    window.report_write_failure(path, error);
    return;
  }
  window.show_file(path);
}

}  // namespace sw::ui
