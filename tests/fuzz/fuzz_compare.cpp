// A folder of fuzzed names and contents, listed and compared in memory: a listing compared with
// itself is all "OK" (or "Skipped"), and against fuzzed earlier listings the streaming comparison
// gives one result line for every entry line the in-memory reader sees.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "core/compare.h"
#include "core/line_reader.h"
#include "core/listing.h"
#include "core/run.h"
#include "core/save_text.h"
#include "core/text.h"
#include "tests/fuzz/memory_folder.h"

namespace {

// Entry lines after the three header lines that are not blank once trimmed.
std::uint64_t entry_lines(std::string_view text) {
  std::uint64_t n = 0;
  for (int i = 0; i < 3 && sw::lines_left(text); ++i) sw::next_line(text);
  while (sw::lines_left(text))
    if (!sw::trim_blanks(sw::next_line(text)).empty()) ++n;
  return n;
}

std::uint64_t all_counts(const sw::Comparison& c) {
  std::uint64_t n = 0;
  for (const std::uint64_t count : c.counts) n += count;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  sw::fuzz::MemoryFolder folder;
  std::set<std::string> names;
  const int files = input.ConsumeIntegralInRange(0, 24);
  for (int i = 0; i < files; ++i) {
    std::string name = input.ConsumeRandomLengthString(64);
    std::string content = input.ConsumeRandomLengthString(256);
    if (name.empty() || name == "." || name == ".." || !names.insert(name).second) continue;
    folder.files.emplace_back(std::move(name), std::move(content));
  }
  sw::fuzz::use(folder);

  sw::fs::Folder open;
  sw::fs::SysError err;
  if (!open.open(sw::fuzz::MemoryFolder::kPath, &err)) std::abort();
  sw::ListingObserver quiet;
  const sw::Listing listing = sw::list_folder(open, quiet);
  if (!listing.unreadable.empty()) std::abort();

  // Saved and compared with itself.
  if (!sw::SAVETEXTFILE(open, std::string(sw::kListingFileName), listing.text, &err)) std::abort();
  sw::EarlierListing saved;
  if (saved.open(open) != sw::Earlier::kListing) std::abort();
  sw::StringSink same;
  const sw::Comparison itself = sw::COMPARECRCLIST(saved, open, listing, same);
  if (!itself.comparable || itself.problem_count() != 0 || !itself.new_names.empty()) std::abort();
  if (all_counts(itself) != entry_lines(listing.text)) std::abort();
  if (entry_lines(same.text()) != entry_lines(listing.text)) std::abort();

  // A fuzzed earlier listing: one result line for every entry line.
  const std::string earlier = "File CRCs For Folder:\r\n" + input.ConsumeRemainingBytesAsString();
  folder.own[std::string(sw::kListingFileName)] = earlier;
  sw::EarlierListing fuzzed;
  fuzzed.open(open);
  sw::StringSink out;
  const sw::Comparison c = sw::COMPARECRCLIST(fuzzed, open, listing, out);
  if (!c.comparable || all_counts(c) != entry_lines(earlier)) std::abort();
  if (entry_lines(out.text()) != all_counts(c)) std::abort();
  return 0;
}
