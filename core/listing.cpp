#include "core/listing.h"

#include <thread>
#include <utility>

#include "core/checksum_pass.h"
#include "core/text.h"

namespace sw {

void append_entry(std::string& text, std::string_view name, std::string_view checksum) {
  text += pad_column(name, kNameColumnWidth);
  text += checksum;
  text += kCrLf;
}

Listing BUILDCRCLIST(const std::string& folder_path, ListingObserver* observer) {
  ListingObserver quiet;
  ListingObserver& notify = observer != nullptr ? *observer : quiet;

  Listing listing;
  listing.text.reserve(4096);
  listing.text.append(kListingHeader).append(kCrLf);
  listing.text.append(folder_path).append(kCrLf);
  listing.text.append(kHeaderRule).append(kCrLf);

  std::vector<fs::DirEntry> entries;
  if (!fs::ops().list_folder(folder_path, &entries, &listing.enumerate_error)) {
    listing.enumerated = false;
    return listing;
  }

  std::size_t files = 0;
  std::uint64_t bytes = 0;
  for (const fs::DirEntry& e : entries) {
    if (e.kind != fs::EntryKind::kFile) continue;
    ++files;
    bytes += e.size;
  }
  notify.on_start(files, bytes);
  listing.text.reserve(listing.text.size() + files * (kNameColumnWidth + 11));

  // Files may be read ahead on a second core; the observer still hears everything from this
  // thread, in enumeration order.
  ChecksumPass pass(folder_path, entries, std::thread::hardware_concurrency() != 1);
  for (const fs::DirEntry& e : entries) {
    if (e.kind != fs::EntryKind::kFile) continue;
    notify.on_name(trim_blanks(e.name));
    // The enumeration's own 64-bit size decides: empty files get no entry.
    if (gets_entry(e)) {
      const FileChecksum sum = pass.take(e, &notify);
      if (!sum.readable) {
        std::string path = folder_path + e.name;  // exactly as enumerated, blanks included
        notify.on_unreadable(path, sum.error);
        listing.unreadable.push_back({std::move(path), sum.error});
      }
      const std::string text = checksum_text(sum.crc);
      append_entry(listing.text, e.name, text);
      ++listing.files_listed;
      listing.bytes += sum.bytes;
      notify.on_checksum(text);
    }
    notify.on_file_finished();
  }
  return listing;
}

}  // namespace sw
