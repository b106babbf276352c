// What a tree run in the window gathers of its folders as they are reported, and what it says at
// the end: one box for the files that could not be read, one for possible damage, one for
// folders and files that could not be dealt with, and the tree summary shown in Notepad. Paths
// are relative to the chosen folder, in the listing form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/compare.h"
#include "core/run.h"

namespace sw::ui {

// The name of the tree summary, kept in the user's temporary folder: written into the chosen
// folder it would be a file of the user's there, listed and compared by the next run.
inline constexpr const char* kTreeSummaryName = "Sumwright Tree Summary.TXT";

class TreeSummary {
 public:
  // `top`: the chosen folder's path in the listing form, ending in the separator.
  explicit TreeSummary(std::string top) : top_(std::move(top)) {}

  void add(const RunReport& report);

  // The texts of the three boxes; each empty when there is nothing to say.
  std::string unreadable_text() const;
  std::string damage_text() const;
  std::string trouble_text() const;
  // The tree summary: per folder its counts and every line that is not "OK" or "Skipped".
  std::string text() const;

  std::uint64_t folders() const { return folders_.size(); }

 private:
  struct Folder {
    std::string relative;  // "" for the chosen folder itself
    std::uint64_t files = 0, bytes = 0;
    bool compared = false;
    std::array<std::uint64_t, kStatusCount> counts{};
    std::vector<std::string> lines;  // lines that are not "OK" or "Skipped", as the file has them
    std::uint64_t lines_left_out = 0;
  };
  struct Named {
    std::string path;  // relative
    std::string why;
  };

  std::string relative(const std::string& native_path) const;

  std::string top_;
  std::vector<Folder> folders_;
  std::uint64_t unreadable_count_ = 0;
  std::vector<Named> unreadable_;
  std::uint64_t damage_count_ = 0;
  std::vector<std::string> damage_;
  std::vector<Named> trouble_;
};

}  // namespace sw::ui
