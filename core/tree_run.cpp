#include "core/tree_run.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/enumeration.h"
#include "core/folder_stream.h"
#include "core/os/thread.h"
#include "core/save_batch.h"

namespace sw {

double TreeFrontEnd::seconds_now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

// A folder whose run is over, waiting for its batch's commit to be reported.
struct PendingFolder {
  RunReport report;
  double seconds = 0;
};

// A batch of saves and the folders whose files it holds.
struct Batch {
  std::unique_ptr<SaveBatch> saves;
  std::vector<PendingFolder> folders;
};

// The batch being committed, on a thread of its own while the next batch fills; where the
// system gives no thread, on the calling thread. One commit at a time.
class Committer {
 public:
  Committer() = default;
  // A commit still under way (the tree is ending early) puts nothing more in place if it has not
  // begun its renames, and is waited for before its batch goes.
  ~Committer() {
    if (thread_.running()) {
      batch_.saves->abandon();
      thread_.join();
    }
  }
  Committer(const Committer&) = delete;
  Committer& operator=(const Committer&) = delete;

  bool busy() const { return committing_; }
  bool done() const { return done_.load(std::memory_order_acquire); }

  void start(Batch batch, const StopRequest* stop) {
    batch_ = std::move(batch);
    committing_ = true;
    done_.store(false);
    SaveBatch* saves = batch_.saves.get();
    const bool started = thread_.start([this, saves, stop] {
      outcomes_ = saves->commit(stop);
      done_.store(true, std::memory_order_release);
    });
    if (!started) {
      outcomes_ = saves->commit(stop);
      done_.store(true);
    }
  }

  // Waits for the commit; its folders, and the outcomes of their saves. What the commit threw
  // is thrown here.
  Batch finish(std::vector<SaveBatch::Outcome>* outcomes) {
    if (const std::exception_ptr error = thread_.join()) {
      committing_ = false;
      std::rethrow_exception(error);
    }
    committing_ = false;
    *outcomes = std::move(outcomes_);
    return std::move(batch_);
  }

 private:
  Batch batch_;
  std::vector<SaveBatch::Outcome> outcomes_;
  std::atomic<bool> done_{false};
  bool committing_ = false;
  Thread thread_;
};

class TreeRun {
 public:
  TreeRun(TreeFrontEnd& ui, fs::Folder top, RunPlan plan, HandleBudget& budget)
      : ui_(ui),
        plan_(std::move(plan)),
        budget_(budget),
        filling_(new_batch()),
        stream_(std::move(top), ui.wants_byte_totals(), plan_.readers, plan_.stop, &budget,
                [this] { return reclaim(); }) {}

  TreeOutcome run() {
    while (FolderStream::Prepared* folder = stream_.next()) {
      if (stopping()) break;
      ui_.on_folder_start(folder->relative);
      // A folder's saves go into one batch with it: room for both before it runs.
      while (budget_.pool_left() < 2 && reclaim()) {
      }
      const double start = ui_.seconds_now();
      plan_.batch = filling_.saves.get();
      RunReport report = run_folder(ui_, *folder, stream_.pass(), plan_);
      // One answer serves every folder of a tree.
      if (report.comparison_asked)
        plan_.compare = report.comparison_accepted ? CompareChoice::kYes : CompareChoice::kNo;
      filling_.folders.push_back({std::move(report), ui_.seconds_now() - start});
      if (stopping()) break;
      if (committer_.busy() && committer_.done()) report_committed();
      if (filling_.saves->size() == 0 && !committer_.busy()) {
        report_batch(filling_, {});  // nothing staged: reported at once, in order
      } else if (filling_.saves->due()) {
        start_commit();
      }
    }
    report_committed();
    if (!stopping()) {
      const std::vector<SaveBatch::Outcome> outcomes = filling_.saves->commit(plan_.stop);
      report_batch(filling_, outcomes);
    }
    // After a stop the batch still filling is given up with the tree: its files removed.
    for (const PendingFolder& p : filling_.folders)
      if (p.report.opened) ++outcome_.folders_not_written;
    outcome_.stopped = stopping();
    return outcome_;
  }

 private:
  bool stopping() const { return stop_requested(plan_.stop); }

  Batch new_batch() {
    return Batch{std::make_unique<SaveBatch>(kBatchFiles, kBatchWait, &budget_), {}};
  }

  // Reports the batch's folders in order, now that its commit has ended. After a stop, only
  // folders whose saves were all put in place are: of the others nothing was written.
  void report_batch(Batch& batch, const std::vector<SaveBatch::Outcome>& outcomes) {
    for (PendingFolder& p : batch.folders) {
      RunReport& r = p.report;
      if (stopping()) {
        const auto given_up = [&outcomes](std::size_t stage) {
          return stage != SaveBatch::kNotStaged && !outcomes.at(stage).saved;
        };
        if (r.listing.stopped || given_up(r.listing_stage) || given_up(r.comparison_stage)) {
          if (r.opened) ++outcome_.folders_not_written;
          continue;
        }
      }
      ui_.on_folder_committed(r);
      settle_batched_saves(ui_, r, outcomes, plan_.stop);
      ui_.on_folder_done(r, p.seconds);
      ++outcome_.folders;
    }
    batch.folders.clear();
  }

  // Waits for the commit under way, if any, and reports it.
  void report_committed() {
    if (!committer_.busy()) return;
    std::vector<SaveBatch::Outcome> outcomes;
    Batch committed = committer_.finish(&outcomes);
    report_batch(committed, outcomes);
  }

  void start_commit() {
    report_committed();
    committer_.start(std::exchange(filling_, new_batch()), plan_.stop);
  }

  // Frees handles of the pool when the walk finds it spent: the commit under way is waited for,
  // or else the batch still filling is committed here and now. False when nothing holds any.
  bool reclaim() {
    if (committer_.busy()) {
      report_committed();
      return true;
    }
    if (filling_.saves->size() == 0) return false;
    const std::vector<SaveBatch::Outcome> outcomes = filling_.saves->commit(plan_.stop);
    report_batch(filling_, outcomes);
    filling_ = new_batch();  // the committed batch lets go of its folders now
    return true;
  }

  TreeFrontEnd& ui_;
  RunPlan plan_;
  HandleBudget& budget_;
  TreeOutcome outcome_;
  Batch filling_;
  Committer committer_;
  FolderStream stream_;
};

}  // namespace

TreeSize measure_tree(const fs::Folder& top, const StopRequest* stop) {
  // Walked as FolderStream walks, by a stack of folders and not by recursion: a tree may be
  // deeper than a thread's stack, and a folder reached twice (a bind mount of its own ancestor)
  // would have no end. A folder is held only while subfolders of it are still to be opened.
  struct Level {
    std::unique_ptr<fs::Folder> held;  // null for the top, which the caller holds
    const fs::Folder* folder;
    std::vector<std::string> names;  // subfolders still to be opened
  };
  TreeSize size;
  std::set<fs::FileId> seen;
  std::vector<Level> walk;
  fs::SysError ignored;
  const auto enter = [&](std::unique_ptr<fs::Folder> held, const fs::Folder& folder) {
    fs::FileId id;
    if (fs::ops().identity(folder.get(), "", &id, &ignored) && !seen.insert(id).second) return;
    fs::DirEntries entries;
    fs::ops().list_folder(folder.get(), /*sizes=*/true, &entries, &ignored);  // what was found
    ++size.folders;
    Level level{std::move(held), &folder, {}};
    for (const fs::DirEntry& e : entries) {
      if (e.kind == fs::EntryKind::kDirectory && !e.link) {
        level.names.push_back(e.native());
      } else if (gets_entry(e)) {
        ++size.files;
        if (e.size != fs::kUnknownSize) size.bytes += e.size;
      }
    }
    if (!level.names.empty()) walk.push_back(std::move(level));
  };
  enter(nullptr, top);
  while (!walk.empty() && !stop_requested(stop)) {
    auto sub = std::make_unique<fs::Folder>();
    Level& parent = walk.back();
    const bool opened = sub->open_in(*parent.folder, parent.names.back(), &ignored);
    parent.names.pop_back();
    if (parent.names.empty()) walk.pop_back();  // a chain holds one folder, not one a level
    if (opened) {
      const fs::Folder& folder = *sub;
      enter(std::move(sub), folder);
    }
  }
  return size;
}

std::size_t count_subfolders(const fs::Folder& folder) {
  fs::DirEntries entries;
  fs::SysError ignored;
  fs::ops().list_folder(folder.get(), /*sizes=*/false, &entries, &ignored);
  return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), [](const auto& e) {
    return e.kind == fs::EntryKind::kDirectory && !e.link;
  }));
}

TreeOutcome run_tree(TreeFrontEnd& ui, fs::Folder top, RunPlan plan, HandleBudget& budget) {
  TreeRun tree(ui, std::move(top), std::move(plan), budget);
  return tree.run();
}

}  // namespace sw
