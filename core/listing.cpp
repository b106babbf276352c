#include "core/listing.h"

#include <algorithm>
#include <map>
#include <utility>

#include "core/checksum_pass.h"
#include "core/text.h"

namespace sw {
namespace {

// Finds the entries whose lines begin with the same name column, as the entries are listed.
// The index keeps 4-byte references to the caller's entries, so a folder of a million files
// costs it 8 MB; the columns are compared as their lines will hold them, marks included.
class SharedColumns {
 public:
  explicit SharedColumns(const fs::DirEntries& entries) : entries_(entries) {
    std::size_t capacity = 16;
    while (capacity < entries.size() * 2) capacity *= 2;
    cells_.assign(capacity, 0);
    mask_ = capacity - 1;
  }

  void add(std::size_t index) {
    const std::string_view column = name_column(entries_[index].name);
    for (std::size_t i = hash(column) & mask_;; i = (i + 1) & mask_) {
      std::uint32_t& cell = cells_[i];
      if (cell == 0) {
        cell = static_cast<std::uint32_t>(index + 1);
        return;
      }
      if (same(name_column(entries_[cell - 1].name), column)) {
        shared_[cell - 1].push_back(index);
        return;
      }
    }
  }

  // The groups of names, each in listing order, the groups in the order of their first name.
  std::vector<std::vector<std::string>> groups() const {
    std::vector<std::vector<std::string>> out;
    for (const auto& [first, others] : shared_) {
      std::vector<std::string>& group = out.emplace_back();
      group.push_back(listing_safe(entries_[first].name));
      for (const std::size_t i : others) group.push_back(listing_safe(entries_[i].name));
    }
    return out;
  }

 private:
  // Columns are taken from the names before the format's bytes are marked (marking changes no
  // blank, so they trim and cut the same) and compared as marked.
  static std::size_t hash(std::string_view column) {
    std::uint64_t h = 0xCBF29CE484222325u;  // FNV-1a
    for (const char c : column)
      h = (h ^ static_cast<unsigned char>(marked_byte(c))) * 0x100000001B3u;
    return static_cast<std::size_t>(h);
  }
  static bool same(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return marked_byte(x) == marked_byte(y);
           });
  }

  const fs::DirEntries& entries_;
  std::vector<std::uint32_t> cells_;  // 1 + index of the first entry with a column; 0: empty
  std::size_t mask_ = 0;
  std::map<std::size_t, std::vector<std::size_t>> shared_;  // first entry -> the others
};

}  // namespace

std::string_view name_column(std::string_view line) {
  const std::string_view trimmed = trim_blanks(line);
  return trim_blanks(trimmed.substr(0, std::min<std::size_t>(trimmed.size(), kNameColumnWidth)));
}

std::string_view checksum_column(std::string_view line) {
  const std::string_view trimmed = trim_blanks(line);
  if (trimmed.size() <= static_cast<std::size_t>(kNameColumnWidth)) return {};
  return trim_blanks(trimmed.substr(kNameColumnWidth));
}

namespace {

Listing header_only(const std::string& folder_line) {
  Listing listing;
  listing.text.reserve(4096);
  append_header(listing.text, kListingHeader, folder_line);
  return listing;
}

// Whether a file enumerated without its size had none: read whole to nothing, or, when it could
// not be read, an empty regular file still. One that is gone or no longer a file is listed as
// unreadable, and says why.
bool turned_out_empty(const fs::Folder& folder, const fs::DirEntry& e, const FileChecksum& sum) {
  if (e.size != fs::kUnknownSize) return false;
  if (sum.readable) return sum.bytes == 0;
  std::uint64_t size = 0;
  fs::SysError ignored;
  return fs::ops().file_size(folder.get(), e.native(), &size, &ignored) && size == 0;
}

}  // namespace

Listing BUILDCRCLIST(const fs::Folder& folder, const EnumeratedFolder& found, ChecksumPass& pass,
                     ListingObserver* observer) {
  ListingObserver quiet;
  ListingObserver& notify = observer != nullptr ? *observer : quiet;
  const fs::DirEntries& entries = found.entries;

  const std::string folder_line = fs::best_listing_form(folder.path());
  Listing listing = header_only(folder_line);
  listing.enumerated = found.enumerated;
  listing.enumerate_error = found.enumerate_error;
  listing.own_temporaries = found.own_temporaries;
  listing.own_names = found.own_names;
  listing.run_files = found.run_files;

  std::size_t files = 0;
  std::uint64_t bytes = 0;
  for (const fs::DirEntry& e : entries) {
    if (e.kind == fs::EntryKind::kDirectory && !e.link) ++listing.subfolders;
    if (!is_examined(e)) continue;
    ++files;
    if (e.size != fs::kUnknownSize) bytes += e.size;
  }
  notify.on_start(files, bytes);
  listing.text.reserve(listing.text.size() + files * (kNameColumnWidth + 11));
  listing.modified.reserve(files);

  SharedColumns columns(entries);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const fs::DirEntry& e = entries[i];
    if (!is_examined(e)) continue;
    if (pass.stop_requested()) {
      listing.stopped = true;
      break;
    }
    notify.on_name(trim_blanks(e.name));
    // The 64-bit size decides: empty files get no entry. The enumeration's size is final;
    // without one, the open file's (or, for a file that could not be opened, a lookup's).
    FileChecksum sum;
    if (gets_entry(e)) sum = pass.take(e, &notify);
    // A read given up for the stop says nothing of its file.
    if (sum.stopped || pass.stop_requested()) {
      listing.stopped = true;
      break;
    }
    if (gets_entry(e) && !turned_out_empty(folder, e, sum)) {
      const std::size_t line_start = listing.text.size();
      char digits[8];
      const std::string_view text = checksum_digits(sum.crc, digits);
      append_entry(listing.text, e.name, text);
      listing.modified.push_back(sum.readable ? sum.modified : fs::kUnknownTime);
      if (!sum.readable) {
        if (e.kind == fs::EntryKind::kUnreachable)
          sum.error.message = "the link's target cannot be reached (" + sum.error.message + ")";
        std::string path = folder_line + e.name;  // blanks included, as enumerated
        notify.on_unreadable(path, sum.error);
        listing.unreadable.push_back(
            {std::move(path), sum.error,
             std::string(name_column(std::string_view(listing.text).substr(line_start)))});
      }
      columns.add(i);
      ++listing.files_listed;
      listing.bytes += sum.bytes;
      notify.on_checksum(text);
    }
    notify.on_file_finished();
  }
  listing.shared_columns = columns.groups();
  return listing;
}

}  // namespace sw
