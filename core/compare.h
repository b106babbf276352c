// Comparison of an earlier "File CRCs.TXT" with the listing of this run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fs.h"
#include "core/listing.h"

namespace sw {

inline constexpr std::string_view kComparisonFileName = "CRC Comparison.TXT";
inline constexpr std::string_view kComparisonHeader = "Comparison listing for Folder ";
inline constexpr int kStatusColumnWidth = 70;

// kUnreadable: the file is here, but this run could not read it, so nothing can be said of it.
enum class Status : std::uint8_t { kSkipped, kOk, kMismatch, kNotFound, kUnreadable };
inline constexpr int kStatusCount = 5;

// "Skipped", "OK", "CRC Missmatch", "Not Found in This Folder", "Could Not Be Read".
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
  std::vector<ComparedLine> problems;                // every line but "OK" and "Skipped", in order
  std::vector<std::string> new_names;  // names listed now that the earlier listing lacks
  bool read_failed = false;            // the earlier listing could not be read to its end
  fs::SysError read_error;

  std::uint64_t count(Status s) const { return counts[static_cast<int>(s)]; }
};

// Reads folder_path + "File CRCs.TXT" (a plain file only) and classifies each of its entries
// against the entries of `new_listing`: the same name column with the same whole line is
// "OK", the same name column with another line "CRC Missmatch", no such name "Not Found in
// This Folder"; a name column among `unreadable_columns` (files this run could not read) is
// "Could Not Be Read"; entries for the two output files are "Skipped".
Comparison COMPARECRCLIST(const std::string& folder_path, std::string_view new_listing,
                          const std::vector<std::string_view>& unreadable_columns = {});

// The same against this run's listing, its unreadable files included.
Comparison COMPARECRCLIST(const std::string& folder_path, const Listing& listing);

}  // namespace sw
