#include "core/save_batch.h"

#include <algorithm>
#include <utility>

namespace sw {
namespace {

// A flush that fails after the renames leaves the new file in place, not known to be durable.
SaveBatch::Outcome failure(const fs::SysError& error, bool after_renames) {
  if (!after_renames) return {false, error, false};
  return {false, not_durable(error), true};
}

}  // namespace

SaveBatch::SaveBatch(std::size_t most, std::chrono::milliseconds wait, HandleBudget* budget)
    : most_(most < 1 ? 1 : most), wait_(wait), budget_(budget) {}

SaveBatch::~SaveBatch() {
  if (committed_) return;
  for (Staged& s : staged_) {
    let_go(s);
    fs::ops().remove(s.folder->get(), s.temp_name);
  }
}

void SaveBatch::let_go(Staged& s) {
  s.file.close();
  if (s.counted && budget_ != nullptr) budget_->give_back();
  s.counted = false;
}

std::size_t SaveBatch::stage(TextFileWriter& writer, std::shared_ptr<const fs::Folder> folder,
                             const std::string& name, fs::SysError* err) {
  if (committed_) {
    staged_.clear();
    committed_ = false;
  }
  // Room first, so that a batch that cannot grow loses nothing it staged.
  staged_.reserve(staged_.size() + 1);
  outcomes_.reserve(staged_.size() + 1);
  order_.reserve(staged_.size() + 1);
  Staged s;
  if (!writer.stage(&s.temp_name, &s.file, err)) return kNotStaged;
  // Where the budget has no handle to spare, the file is closed now and its lock given up early.
  s.counted = budget_ == nullptr || budget_->try_take();
  if (!s.counted) s.file.close();
  s.counted = s.counted && budget_ != nullptr;
  s.folder = std::move(folder);
  s.name = name;
  if (staged_.empty()) first_staged_ = std::chrono::steady_clock::now();
  staged_.push_back(std::move(s));
  outcomes_.push_back({true, {}, false});
  return staged_.size() - 1;
}

bool SaveBatch::due() const {
  return !staged_.empty() &&
         (staged_.size() >= most_ || std::chrono::steady_clock::now() - first_staged_ >= wait_);
}

void SaveBatch::flush(bool after_renames, const StopRequest* stop) {
  const fs::Ops& os = fs::ops();
  // One flush per file system: the files of a tree may lie on more than one. A folder whose file
  // system cannot be told is flushed on its own.
  order_.clear();
  for (std::size_t i = 0; i < staged_.size(); ++i) {
    Staged& s = staged_[i];
    if (!outcomes_[i].saved) continue;
    if (!s.device_known) {  // the same before and after the renames: the folder is held open
      fs::FileId id;
      fs::SysError ignored;
      s.device_known = os.identity(s.folder->get(), "", &id, &ignored);
      s.device = id.device;
    }
    order_.push_back(i);
  }
  const auto same_volume = [this](std::size_t a, std::size_t b) {
    const Staged& x = staged_[a];
    const Staged& y = staged_[b];
    return x.device_known && y.device_known && x.device == y.device;
  };
  std::sort(order_.begin(), order_.end(), [this](std::size_t a, std::size_t b) {
    const Staged& x = staged_[a];
    const Staged& y = staged_[b];
    if (x.device_known != y.device_known) return x.device_known;
    if (x.device_known && x.device != y.device) return x.device < y.device;
    return a < b;
  });
  for (std::size_t first = 0; first < order_.size();) {
    std::size_t end = first + 1;
    while (end < order_.size() && same_volume(order_[first], order_[end])) ++end;
    fs::SysError err;
    const fs::Flushed flushed = os.flush_volume(staged_[order_[first]].folder->get(), &err);
    for (std::size_t k = first; k < end && flushed != fs::Flushed::kDone; ++k) {
      const std::size_t i = order_[k];
      if (flushed == fs::Flushed::kFailed) {
        outcomes_[i] = failure(err, after_renames);
        continue;
      }
      // Where the whole file system cannot be flushed, each file is, by the handle its writer
      // still holds; each rename was made durable as it was made. A stop gives the batch up
      // without flushing the rest: none of it will be put in place.
      if (after_renames || abandoned_.load() || stop_requested(stop)) continue;
      Staged& s = staged_[i];
      fs::SysError one;
      fs::File reopened;
      fs::Handle h = s.file.get();
      bool writable = false;  // some systems flush only what is open for writing
      if (!s.file.is_open() &&
          os.open_update(s.folder->get(), s.temp_name, reopened.receive(), &writable, &one))
        h = reopened.get();
      if (h == fs::kNoHandle || !os.flush(h, &one)) outcomes_[i] = {false, one, false};
    }
    first = end;
  }
}

std::vector<SaveBatch::Outcome> SaveBatch::commit(const StopRequest* stop) {
  const fs::Ops& os = fs::ops();
  flush(/*after_renames=*/false, stop);
  const bool give_up = abandoned_.load() || stop_requested(stop);
  for (std::size_t i = 0; i < staged_.size(); ++i) {
    Staged& s = staged_[i];
    Outcome& outcome = outcomes_[i];
    if (give_up && outcome.saved)
      outcome = {false, {0, "stopped before it was put in place"}, false};
    // Where a system renames no open file, the lock goes just before the rename.
    if (!fs::renames_open_files()) let_go(s);
    if (outcome.saved && !os.move_over(s.folder->get(), s.temp_name, s.name, &outcome.error))
      outcome.saved = false;
    // Not put in place: the earlier file stays, and the temporary file goes.
    if (!outcome.saved) os.remove(s.folder->get(), s.temp_name);
    let_go(s);
  }
  flush(/*after_renames=*/true, nullptr);
  committed_ = true;
  return std::exchange(outcomes_, {});
}

}  // namespace sw
