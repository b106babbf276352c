// The product's own roads for tests: a folder listed as a run lists it, and an earlier listing
// opened, judged and compared as a run does, with the comparison's text kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/compare.h"
#include "core/listing.h"

namespace sw::test {

// The listing of the folder at `folder_path` (native form, ending in the separator), made by
// list_folder; one that cannot be opened gives the header lines only, not enumerated, with the
// reason.
Listing list(const std::string& folder_path, ListingObserver* observer = nullptr);

// A listing of this run for a comparison, as written in `text` (header lines included), with
// the name columns of the files that could not be read; no modification times are known.
Listing listing_of(std::string_view text, const std::vector<std::string>& unreadable = {});

// The earlier listing of the folder at `folder_path` opened and judged as a run does, and compared
// with `now`; the comparison's whole text, header lines included, goes to `text` (when the
// earlier listing turns out not comparable, the header lines alone).
Comparison compare(const std::string& folder_path, const Listing& now, std::string* text = nullptr);

}  // namespace sw::test
