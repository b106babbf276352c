#include "core/save_batch.h"

#include <map>
#include <utility>

namespace sw {
namespace {

// A flush that fails after the renames leaves the new file in place, not yet known to be durable.
fs::SysError failure(const fs::SysError& error, bool after_renames) {
  if (!after_renames) return error;
  return {error.code, "put in place, but not made durable: " + error.message};
}

}  // namespace

SaveBatch::SaveBatch(std::size_t most, std::chrono::milliseconds wait)
    : most_(most < 1 ? 1 : most), wait_(wait) {}

SaveBatch::~SaveBatch() {
  for (const Staged& s : staged_) fs::ops().remove(s.folder->get(), s.temp_name);
}

std::size_t SaveBatch::stage(TextFileWriter& writer, std::shared_ptr<const fs::Folder> folder,
                             const std::string& name, fs::SysError* err) {
  std::string temp_name;
  if (!writer.stage(&temp_name, err)) return kNotStaged;
  if (staged_.empty()) first_staged_ = std::chrono::steady_clock::now();
  staged_.push_back({std::move(folder), std::move(temp_name), name, {true, {}}, std::nullopt});
  return staged_.size() - 1;
}

bool SaveBatch::due() const {
  return !staged_.empty() &&
         (staged_.size() >= most_ || std::chrono::steady_clock::now() - first_staged_ >= wait_);
}

void SaveBatch::flush(bool after_renames) {
  const fs::Ops& os = fs::ops();
  // One flush per file system: the files of a tree may lie on more than one.
  std::map<std::uint64_t, std::vector<Staged*>> by_device;
  for (Staged& s : staged_) {
    if (!s.outcome.saved) continue;
    if (!s.device) {  // the same before and after the renames: the folder is held open
      fs::FileId id;
      fs::SysError ignored;
      s.device = os.identity(s.folder->get(), "", &id, &ignored) ? id.device : ~std::uint64_t{0};
    }
    by_device[*s.device].push_back(&s);
  }
  for (auto& [device, files] : by_device) {
    fs::SysError err;
    const fs::Flushed flushed = os.flush_volume(files.front()->folder->get(), &err);
    if (flushed == fs::Flushed::kDone) continue;
    if (flushed == fs::Flushed::kFailed) {
      for (Staged* s : files) s->outcome = {false, failure(err, after_renames)};
      continue;
    }
    // Where the whole file system cannot be flushed, each file is, one by one, and each rename
    // was made durable as it was made.
    if (after_renames) continue;
    for (Staged* s : files) {
      fs::SysError one;
      fs::File file;
      bool writable = false;  // some systems flush only what is open for writing
      if (!os.open_update(s->folder->get(), s->temp_name, file.receive(), &writable, &one) ||
          !os.flush(file.get(), &one))
        s->outcome = {false, one};
    }
  }
}

std::vector<SaveBatch::Outcome> SaveBatch::commit() {
  const fs::Ops& os = fs::ops();
  flush(/*after_renames=*/false);
  for (Staged& s : staged_) {
    if (s.outcome.saved && !os.move_over(s.folder->get(), s.temp_name, s.name, &s.outcome.error))
      s.outcome.saved = false;
    // Not put in place: the earlier file stays, and the temporary file goes.
    if (!s.outcome.saved) os.remove(s.folder->get(), s.temp_name);
  }
  flush(/*after_renames=*/true);
  std::vector<Outcome> outcomes;
  outcomes.reserve(staged_.size());
  for (Staged& s : staged_) outcomes.push_back(std::move(s.outcome));
  staged_.clear();
  return outcomes;
}

}  // namespace sw
