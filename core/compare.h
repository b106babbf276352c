// Comparison of an earlier "File CRCs.TXT" with the listing of this run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/listing.h"
#include "core/os/fs.h"
#include "core/save_text.h"
#include "core/stop.h"

namespace sw {

inline constexpr std::string_view kComparisonHeader = "Comparison listing for Folder ";
inline constexpr int kStatusColumnWidth = 70;

// kUnreadable: the file is here, but this run could not read it, so nothing can be said of it.
enum class Status : std::uint8_t { kSkipped, kOk, kMismatch, kNotFound, kUnreadable };
inline constexpr int kStatusCount = 5;

// "Skipped", "OK", "CRC Missmatch", "Not Found in This Folder", "Could Not Be Read": fixed texts,
// the misspelt "Missmatch" included, since other programs read them in "CRC Comparison.TXT".
std::string_view status_text(Status status);

// "211 OK, 1 CRC Missmatch, 0 Not Found in This Folder, 0 Could Not Be Read, 0 Skipped."
std::string status_counts_text(const std::array<std::uint64_t, kStatusCount>& counts);

struct ComparedLine {
  std::string old_line;  // trimmed
  Status status;
  std::string new_line;  // this run's line for the same name column ("CRC Missmatch" only)
  // For "CRC Missmatch": whether the file was modified after the earlier listing was written
  // (an edit). One that changed without that was damaged, or an older copy was put back.
  bool modified_after_listing = true;
};

// What stands in a folder as its earlier listing.
enum class Earlier : std::uint8_t {
  kNone,         // no "File CRCs.TXT"
  kNotPlain,     // a symbolic link, a folder or the like: never read as a listing
  kNotAListing,  // a plain file whose first line is not the listing header
  kUnreadable,   // a file that could not be opened or read: nothing can be said of it
  kListing,
};

// At most this many lines that are not "OK" or "Skipped" are kept for a summary; the file holds
// all, and the counts count all.
inline constexpr std::size_t kKeptProblemLines = 1000;

struct Comparison {
  // False when there is no earlier listing or its first line is not the listing header.
  bool comparable = false;
  std::array<std::uint64_t, kStatusCount> counts{};  // indexed by Status
  std::vector<ComparedLine> problems;  // the first lines that are not "OK" or "Skipped"
  std::vector<std::string> new_names;  // names listed now that the earlier listing lacks
  // "CRC Missmatch" files that were not modified after the earlier listing was written: possible
  // damage, or an older copy put back. The first names are kept; the count counts all.
  std::uint64_t unmodified_mismatches = 0;
  std::vector<std::string> unmodified_names;
  bool read_failed = false;  // the earlier listing could not be read to its end
  fs::SysError read_error;
  std::uint64_t entries = 0;  // lines of the earlier listing compared (its entries)
  // Lines longer than LineReader::kLineLimit: no entry can be, so they were passed over.
  std::uint64_t overlong_lines = 0;
  // The earlier listing does not end with the empty line every listing ends with: it was cut
  // short, and files it would have named after its end were not checked.
  bool cut_short = false;
  bool write_failed = false;  // the text could not all be written: the comparison stopped there
  bool stopped = false;       // the run's stop request ended it part-way

  std::uint64_t count(Status s) const { return counts[static_cast<int>(s)]; }
  std::uint64_t problem_count() const {
    return count(Status::kMismatch) + count(Status::kNotFound) + count(Status::kUnreadable);
  }
};

struct CompareOptions {
  std::size_t kept_problems = kKeptProblemLines;  // lines kept in Comparison::problems
  const StopRequest* stop = nullptr;              // looked at as the lines go
};

struct EarlierReading;
class EarlierListing;

// Reads the earlier listing (opened as Earlier::kListing; anything else is not comparable) on
// line by line, and classifies each entry against the entries of this run's `listing` of
// `folder`: the same name column with the same whole line is "OK", the same name column with
// another line "CRC Missmatch", no such name "Not Found in This Folder"; a file this run could not
// read "Could Not Be Read"; entries for the two output files and their temporary files "Skipped".
// The text goes to `out` as it is made, so memory follows the new listing, whatever the earlier
// one claims. The earlier listing is closed on return.
Comparison COMPARECRCLIST(EarlierListing& earlier, const fs::Folder& folder, const Listing& listing,
                          TextSink& out, const CompareOptions& options = {});

// The earlier listing of a run, opened and judged once: what stands there and, when it is a
// listing, its open file with the first line read, for COMPARECRCLIST to read on. The file is
// held open until it is compared or closed, and is closed before a save can replace it.
class EarlierListing {
 public:
  EarlierListing();
  ~EarlierListing();
  EarlierListing(const EarlierListing&) = delete;
  EarlierListing& operator=(const EarlierListing&) = delete;

  // Looks at folder's "File CRCs.TXT" (a plain file only, never through a link), or with
  // `listing_path` at that file instead (native form; a link there is followed, since the caller
  // named it), reading its first line only. Why it is kUnreadable is in error().
  Earlier open(const fs::Folder& folder, const std::string& listing_path = {});
  Earlier kind() const { return kind_; }
  const fs::SysError& error() const { return error_; }
  // When the earlier run wrote it: its modification time (fs::kUnknownTime when not known).
  std::int64_t written() const { return written_; }
  void close();

 private:
  friend Comparison COMPARECRCLIST(EarlierListing& earlier, const fs::Folder& folder,
                                   const Listing& listing, TextSink& out,
                                   const CompareOptions& options);
  std::unique_ptr<EarlierReading> reading_;
  Earlier kind_ = Earlier::kNone;
  fs::SysError error_;
  std::int64_t written_ = fs::kUnknownTime;
};

}  // namespace sw
