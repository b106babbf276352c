#include "core/folder_stream.h"

#include <utility>

namespace sw {

FolderStream::FolderStream(std::vector<std::string> paths, bool sizes, std::size_t readers)
    : paths_(std::move(paths)), sizes_(sizes), pass_(readers) {
  if (paths_.empty()) pass_.finish_adding();
}

void FolderStream::fill() {
  while (next_path_ < paths_.size() && ahead_.size() < kFoldersAhead &&
         (files_ahead_ < kFilesAhead || ahead_.size() < 2)) {
    // Built in place: the pass keeps pointers to the entries.
    Prepared& p = ahead_.emplace_back();
    p.path = fs::folder_path(paths_[next_path_++]);
    if (p.folder.open(p.path, &p.open_error)) {
      p.found = enumerate_folder(p.folder, sizes_);
      p.files_in_pass = pass_.add(p.folder.get(), p.found.entries);
    }
    files_ahead_ += p.files_in_pass;
    if (next_path_ == paths_.size()) pass_.finish_adding();
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
