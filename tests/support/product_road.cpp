#include "tests/support/product_road.h"

#include "core/run.h"

namespace sw::test {

Listing list(const std::string& folder_path, ListingObserver* observer) {
  fs::Folder folder;
  fs::SysError err;
  if (!folder.open(folder_path, &err)) {
    Listing listing;
    append_header(listing.text, kListingHeader, fs::best_listing_form(folder_path));
    listing.enumerated = false;
    listing.enumerate_error = err;
    return listing;
  }
  ListingObserver quiet;
  return list_folder(folder, observer != nullptr ? *observer : quiet);
}

Listing listing_of(std::string_view text, const std::vector<std::string>& unreadable) {
  Listing listing;
  listing.text.assign(text.begin(), text.end());
  for (const std::string& column : unreadable) {
    UnreadableFile& u = listing.unreadable.emplace_back();
    u.name_column = column;
  }
  return listing;
}

Comparison compare(const std::string& folder_path, const Listing& now, std::string* text) {
  fs::Folder folder;
  Comparison failed;
  if (!folder.open(folder_path, &failed.read_error)) return failed;
  EarlierListing earlier;
  earlier.open(folder);
  StringSink out;
  Comparison result = COMPARECRCLIST(earlier, folder, now, out);
  if (text != nullptr) {
    *text = std::move(out.text());
    if (!result.comparable)
      append_header(*text, kComparisonHeader, fs::best_listing_form(folder_path));
  }
  return result;
}

}  // namespace sw::test
