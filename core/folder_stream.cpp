#include "core/folder_stream.h"

#include <algorithm>
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
    std::size_t files = 0;
    if (p.folder.open(p.path, &p.open_error)) {
      p.found = enumerate_folder(p.folder, sizes_);
      files = static_cast<std::size_t>(std::count_if(p.found.entries.begin(), p.found.entries.end(),
                                                     [](const auto& e) { return gets_entry(e); }));
      pass_.add(p.folder.get(), p.found.entries);
    }
    files_of_.push_back(files);
    files_ahead_ += files;
    if (next_path_ == paths_.size()) pass_.finish_adding();
  }
}

FolderStream::Prepared* FolderStream::next() {
  if (handed_out_ && !ahead_.empty()) {
    files_ahead_ -= files_of_.front();
    files_of_.pop_front();
    ahead_.pop_front();
  }
  fill();
  handed_out_ = !ahead_.empty();
  return handed_out_ ? &ahead_.front() : nullptr;
}

}  // namespace sw
