// Comparison of an earlier "File CRCs.TXT" with the listing of this run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fs.h"

namespace sw {

inline constexpr std::string_view kComparisonFileName = "CRC Comparison.TXT";
inline constexpr std::string_view kComparisonHeader = "Comparison listing for Folder ";
inline constexpr int kStatusColumnWidth = 70;

enum class Status : std::uint8_t { kSkipped, kOk, kMismatch, kNotFound };
inline constexpr int kStatusCount = 4;

// "Skipped", "OK", "CRC Missmatch", "Not Found in This Folder".
std::string_view status_text(Status status);

struct ComparedLine {
  std::string old_line;  // trimmed
  Status status;
};

struct Comparison {
  // False when there is no earlier listing or its first line is not the listing header.
  bool comparable = false;
  std::string text;  // header lines and one result line per earlier entry, each ending CR LF
  std::array<std::uint64_t, kStatusCount> counts{};  // indexed by Status
  std::vector<ComparedLine> problems;  // the "CRC Missmatch" and "Not Found" lines, in order
  std::vector<std::string> new_names;  // names listed now that the earlier listing lacks
  bool read_failed = false;            // the earlier listing could not be read to its end
  fs::SysError read_error;

  std::uint64_t count(Status s) const { return counts[static_cast<int>(s)]; }
};

// Reads folder_path + "File CRCs.TXT" (a plain file only) and classifies each of its entries
// against the entries of `new_listing`: the same name column with the same whole line is
// "OK", the same name column with another line "CRC Missmatch", no such name "Not Found in
// This Folder"; entries for the two output files are "Skipped".
Comparison COMPARECRCLIST(const std::string& folder_path, std::string_view new_listing);

}  // namespace sw
