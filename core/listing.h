// The folder listing: every file of one folder with its CRC-32, as "File CRCs.TXT" holds it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_crc.h"
#include "core/fs.h"

namespace sw {

inline constexpr std::string_view kListingFileName = "File CRCs.TXT";
inline constexpr std::string_view kListingHeader = "File CRCs For Folder:";
inline constexpr std::string_view kHeaderRule = "-----------------------------------------";
inline constexpr int kNameColumnWidth = 40;

// What the listing tells its caller while it works, in enumeration order.
class ListingObserver : public ByteProgress {
 public:
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
  std::string path;
  fs::SysError error;
};

struct Listing {
  std::string text;  // the header lines and one entry per file, each ending CR LF
  std::uint64_t files_listed = 0;
  std::uint64_t bytes = 0;
  std::vector<UnreadableFile> unreadable;
  bool enumerated = true;  // false when the folder could not be enumerated
  fs::SysError enumerate_error;
};

// Whether an enumerated entry gets a line in the listing: a file with content. Empty files,
// folders and everything else get none.
inline bool gets_entry(const fs::DirEntry& e) {
  return e.kind == fs::EntryKind::kFile && e.size > 0;
}

// One entry line: the name column, the checksum text, CR LF.
void append_entry(std::string& text, std::string_view name, std::string_view checksum);

// The listing of the folder `folder_path` (which ends in the separator). A folder that cannot
// be enumerated gives the header lines only.
Listing BUILDCRCLIST(const std::string& folder_path, ListingObserver* observer = nullptr);

}  // namespace sw
