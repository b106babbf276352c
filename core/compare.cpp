#include "compare.h"

#include <unordered_set>

#include "line_reader.h"
#include "listing.h"
#include "text.h"

namespace sw {
namespace {

constexpr int kHeaderLines = 3;

// Streams an open file into the line reader and remembers a read error.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(fs::Handle h) : h_(h) {}
  std::size_t fill(char* buffer, std::size_t capacity) override {
    std::size_t got = 0;
    if (failed_ || !fs::ops().read(h_, buffer, capacity, &got, &error_)) {
      failed_ = true;
      return 0;
    }
    return got;
  }
  bool failed() const { return failed_; }
  const fs::SysError& error() const { return error_; }

 private:
  fs::Handle h_;
  bool failed_ = false;
  fs::SysError error_;
};

std::string_view name_column(std::string_view line) {
  return trim_blanks(line.substr(0, std::min<std::size_t>(line.size(), kNameColumnWidth)));
}

bool is_own_output(std::string_view name) {
  return name == kListingFileName || name == kComparisonFileName;
}

// The entries of this run's listing, looked up by name column and by whole trimmed line.
struct EntryIndex {
  std::unordered_set<std::string_view> names;
  std::unordered_set<std::string_view> lines;
  std::vector<std::string_view> ordered_names;

  explicit EntryIndex(std::string_view listing) {
    for (int i = 0; i < kHeaderLines && lines_left(listing); ++i) next_line(listing);
    while (lines_left(listing)) {
      const std::string_view line = trim_blanks(next_line(listing));
      if (line.empty()) continue;
      const std::string_view name = name_column(line);
      if (names.insert(name).second) ordered_names.push_back(name);
      lines.insert(line);
    }
  }
};

}  // namespace

std::string_view status_text(Status status) {
  switch (status) {
    case Status::kSkipped:
      return "Skipped";
    case Status::kOk:
      return "OK";
    case Status::kMismatch:
      return "CRC Missmatch";
    case Status::kNotFound:
      return "Not Found in This Folder";
  }
  return {};
}

Comparison COMPARECRCLIST(const std::string& folder_path, std::string_view new_listing) {
  Comparison result;
  result.text.append(kComparisonHeader).append(kCrLf);
  result.text.append(folder_path).append(kCrLf);
  result.text.append(kHeaderRule).append(kCrLf);

  const fs::Ops& os = fs::ops();
  const std::string earlier = folder_path + std::string(kListingFileName);
  if (!os.is_plain_file(earlier)) return result;
  fs::Handle h = fs::kNoHandle;
  if (!os.open_read(earlier, &h, &result.read_error)) return result;

  FileSource source(h);
  LineReader reader(source);
  if (trim_blanks(reader.read_line()) != kListingHeader) {
    os.close(h);
    return result;
  }
  reader.read_line();  // the earlier folder path and the rule are not examined
  reader.read_line();

  const EntryIndex now(new_listing);
  std::unordered_set<std::string> old_names;
  while (reader.has_more()) {
    const std::string raw = reader.read_line();
    const std::string_view old_line = trim_blanks(raw);
    if (old_line.empty()) continue;
    const std::string_view old_name = name_column(old_line);
    Status status = Status::kNotFound;
    if (is_own_output(old_name)) {
      status = Status::kSkipped;
    } else if (now.names.contains(old_name)) {
      status = now.lines.contains(old_line) ? Status::kOk : Status::kMismatch;
    }
    old_names.emplace(old_name);
    result.text += pad_column(old_line, kStatusColumnWidth);
    result.text += status_text(status);
    result.text += kCrLf;
    ++result.counts[static_cast<int>(status)];
    if (status == Status::kMismatch || status == Status::kNotFound)
      result.problems.push_back({std::string(old_line), status});
  }
  result.read_failed = source.failed();
  if (result.read_failed) result.read_error = source.error();
  os.close(h);

  for (const std::string_view name : now.ordered_names)
    if (!is_own_output(name) && !old_names.contains(std::string(name)))
      result.new_names.emplace_back(name);
  result.comparable = true;
  return result;
}

}  // namespace sw
