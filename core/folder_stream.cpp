#include "core/folder_stream.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace sw {

FolderStream::FolderStream(fs::Folder top, bool sizes, std::size_t readers, const StopRequest* stop,
                           HandleBudget* budget, Reclaim reclaim)
    : sizes_(sizes),
      budget_(budget),
      reclaim_(std::move(reclaim)),
      top_(std::make_unique<Prepared>()),
      pass_(readers, stop) {
  top_->path = top.path();
  top_->folder = held_folder();
  if (top_->folder == nullptr) top_->folder = std::make_shared<fs::Folder>();  // counted by none
  *top_->folder = std::move(top);
}

std::shared_ptr<fs::Folder> FolderStream::held_folder() {
  if (budget_ == nullptr) return std::make_shared<fs::Folder>();
  if (!budget_->try_take()) return nullptr;
  HandleBudget* budget = budget_;
  return std::shared_ptr<fs::Folder>(new fs::Folder, [budget](fs::Folder* folder) {
    delete folder;
    budget->give_back();
  });
}

void FolderStream::enter(Prepared& p) {
  p.found = enumerate_folder(*p.folder, sizes_);
  p.files_in_pass = pass_.add(p.folder->get(), p.found.entries);
  files_ahead_ += p.files_in_pass;
  // Its subfolders come next, before its siblings; links to folders are not followed. After an
  // enumeration that failed part-way, the subfolders found before the failure still are.
  Parent parent{p.folder, p.relative, {}};
  for (const fs::DirEntry& e : p.found.entries)
    if (e.kind == fs::EntryKind::kDirectory && !e.link) parent.names.push_back(e.native());
  if (parent.names.empty()) return;
  std::sort(parent.names.begin(), parent.names.end(), std::greater<>());  // last first
  walk_.push_back(std::move(parent));
}

bool FolderStream::prepare(const Parent& parent, const std::string& name, Prepared& p) {
  p.relative = parent.relative.empty() ? name : parent.relative + fs::separator() + name;
  std::shared_ptr<fs::Folder> folder = held_folder();
  // The pool is spent: folders ahead let theirs go as they are listed, and a tree frees those
  // its saves hold by committing them. Only with nothing left to free is the folder given up.
  while (folder == nullptr && ahead_.empty() && reclaim_ && reclaim_()) folder = held_folder();
  if (folder == nullptr) {
    if (!ahead_.empty()) return false;
    p.path = parent.folder->path() + name + fs::separator();
    p.open_error = fs::out_of_handles_error();
    p.open_error.message += " (the tree holds every file it may open: raise the limit, ulimit -n)";
    return true;
  }
  const bool opened = folder->open_in(*parent.folder, name, &p.open_error);
  p.path = folder->path();
  // Out of handles with folders ahead: they let theirs go as they are listed; wait for that.
  if (!opened && fs::out_of_handles(p.open_error) && !ahead_.empty()) return false;
  if (opened) p.folder = std::move(folder);
  return true;
}

void FolderStream::fill() {
  // Read-ahead keeps to a third of the pool, leaving the rest to the batches of saves.
  const std::size_t most_ahead =
      budget_ == nullptr ? kFoldersAhead
                         : std::clamp<std::size_t>(budget_->pool_size() / 3, 1, kFoldersAhead);
  while (ahead_.size() < most_ahead && (files_ahead_ < kFilesAhead || ahead_.size() < 2)) {
    if (!top_given_) {
      top_given_ = true;
      // Placed first: the pass keeps pointers to the entries, which must not move.
      Prepared& p = ahead_.emplace_back(std::move(*top_));
      top_.reset();
      fs::FileId id;
      fs::SysError ignored;
      if (fs::ops().identity(p.folder->get(), "", &id, &ignored)) seen_.insert(id);
      enter(p);
      continue;
    }
    while (!walk_.empty() && walk_.back().names.empty()) walk_.pop_back();
    if (walk_.empty()) {
      pass_.finish_adding();
      return;
    }
    Prepared next;
    if (!prepare(walk_.back(), walk_.back().names.back(), next)) return;
    walk_.back().names.pop_back();
    // A parent whose last subfolder is open holds its handle no longer: a chain of folders one
    // inside the other holds one handle, not one a level.
    if (walk_.back().names.empty()) walk_.pop_back();
    if (next.folder != nullptr) {
      // A folder reached twice (a bind mount of its own ancestor, say) is taken once.
      fs::FileId id;
      fs::SysError ignored;
      if (fs::ops().identity(next.folder->get(), "", &id, &ignored) && !seen_.insert(id).second)
        continue;
    }
    Prepared& p = ahead_.emplace_back(std::move(next));
    if (p.folder != nullptr) enter(p);
  }
}

FolderStream::Prepared* FolderStream::next() {
  if (handed_out_ && !ahead_.empty()) {
    files_ahead_ -= ahead_.front().files_in_pass;
    ahead_.pop_front();
  }
  fill();
  handed_out_ = !ahead_.empty();
  return handed_out_ ? &ahead_.front() : nullptr;
}

}  // namespace sw
