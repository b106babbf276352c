// The folder listing: every file of one folder with its CRC-32, as "File CRCs.TXT" holds it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/enumeration.h"
#include "core/file_crc.h"
#include "core/os/fs.h"
#include "core/os/large_blocks.h"
#include "core/own_files.h"
#include "core/text.h"

namespace sw {

class ChecksumPass;

inline constexpr std::string_view kListingHeader = "File CRCs For Folder:";
inline constexpr std::string_view kHeaderRule = "-----------------------------------------";
inline constexpr int kNameColumnWidth = 40;

// What the listing tells its caller while it works, in enumeration order.
class ListingObserver : public ByteProgress {
 public:
  // Whether on_start's byte total is shown. Where the enumeration does not give sizes (POSIX),
  // they cost a lookup per file before the first read, so only a caller that shows them
  // gets them; the others get 0 bytes.
  virtual bool wants_byte_totals() const { return false; }
  // Totals of what will be read: files and bytes.
  virtual void on_start(std::uint64_t /*files*/, std::uint64_t /*bytes*/) {}
  // The file about to be examined, its name trimmed.
  virtual void on_name(std::string_view /*name*/) {}
  // The checksum text of a file that was just listed.
  virtual void on_checksum(std::string_view /*text*/) {}
  // A file that is listed with "0" because it could not be read.
  virtual void on_unreadable(const std::string& /*path*/, const fs::SysError& /*error*/) {}
  // One file is finished, listed or not.
  virtual void on_file_finished() {}
  void on_bytes(std::uint64_t /*count*/) override {}
};

struct UnreadableFile {
  std::string path;  // the listing form of its path
  fs::SysError error;
  std::string name_column;  // the name column of its entry line, trimmed
};

struct Listing {
  LargeString text;  // the header lines and one entry per file, each ending CR LF
  // When each listed file was last modified, entry by entry (fs::kUnknownTime where the system
  // did not say): what tells an edit from damage when a later comparison finds it changed.
  std::vector<std::int64_t> modified;
  std::uint64_t files_listed = 0;
  std::uint64_t bytes = 0;
  std::uint64_t subfolders = 0;  // folders in it (never listed; links to folders not counted)
  std::vector<UnreadableFile> unreadable;
  // Names whose entry lines begin with the same name column (longer than 40 bytes with the
  // same first 40, or the same once the format's bytes and what the code page lacks are
  // marked), so no comparison can tell them apart; one group per column, in listing order.
  std::vector<std::vector<std::string>> shared_columns;
  // False when the folder could not be enumerated to its end: the listing then holds only the
  // files found before the failure and must not stand for the whole folder.
  bool enumerated = true;
  fs::SysError enumerate_error;
  // True when the run's stop request ended the listing before its end: it must not stand for
  // the folder either.
  bool stopped = false;
  // Temporary files of this program's own saves (native names): never listed.
  std::vector<std::string> own_temporaries;
  // How this folder's own names are matched, and the run's own files in it by names of the
  // user's choosing (listing form): the comparison skips them as it skips its own files.
  OwnNames own_names = OwnNames::kAsTheSystem;
  std::vector<std::string> run_files;
};

// The name column of an entry line, trimmed, as the comparison reads it back: the first 40
// bytes of the trimmed line.
std::string_view name_column(std::string_view line);

// The checksum column of an entry line: what follows the name column, trimmed.
std::string_view checksum_column(std::string_view line);

// The three header lines both output files begin with: the title, the folder path (the format's
// own bytes marked) and the rule.
template <class String>
void append_header(String& text, std::string_view title, std::string_view folder_line) {
  text.append(title).append(kCrLf);
  for (const char c : folder_line) text.push_back(marked_byte(c));
  text.append(kCrLf).append(kHeaderRule).append(kCrLf);
}

// One entry line: the name column (the format's own bytes marked, as listing_safe does), the
// checksum text, CR LF. Written straight into `text`: this runs once per file.
template <class String>
void append_entry(String& text, std::string_view name, std::string_view checksum) {
  const std::string_view trimmed = trim_blanks(name);
  const std::size_t column = padded_length(trimmed.size(), kNameColumnWidth);
  const std::size_t start = text.size();
  text.append(column, kBlank);
  char* out = text.data() + start;
  for (std::size_t i = 0; i < column && i < trimmed.size(); ++i) out[i] = marked_byte(trimmed[i]);
  text.append(checksum).append(kCrLf);
}

// The listing of an enumerated folder whose files were given to `pass` (ChecksumPass::add), in
// that order. Names and the folder line are written in the listing form with the format's own
// bytes marked (listing_safe). A folder that could not be enumerated to its end lists what was
// found before. The pass's stop request ends the listing at the next file (Listing::stopped).
Listing BUILDCRCLIST(const fs::Folder& folder, const EnumeratedFolder& found, ChecksumPass& pass,
                     ListingObserver* observer);

}  // namespace sw
