#include "core/compare.h"

#include <algorithm>
#include <functional>
#include <unordered_set>
#include <utility>

#include "core/line_reader.h"
#include "core/listing.h"
#include "core/text.h"

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

// The entries of this run's listing, looked up by name column. A name column is nearly always
// unique; when two long names cut to the same column, their whole lines are kept for lookup too.
// An earlier listing may have ten times as many lines as the folder has files, so the lookup is
// a flat open-addressing table: most lookups miss and touch one cell.
class EntryIndex {
 public:
  struct Entry {
    std::string_view name;
    std::string_view line;  // the first line with this name column
    bool shared = false;    // more lines have this name column
    bool in_earlier = false;
    bool unreadable = false;                   // this run could not read a file of this name column
    std::int64_t modified = fs::kUnknownTime;  // when the file of its first line was modified
  };

  // `modified` holds the listing's times, entry line by entry line (it may be empty).
  EntryIndex(std::string_view listing, const std::vector<std::int64_t>& modified) {
    std::vector<std::string_view> lines;
    for (int i = 0; i < kHeaderLines && lines_left(listing); ++i) next_line(listing);
    while (lines_left(listing)) {
      const std::string_view line = trim_blanks(next_line(listing));
      if (!line.empty()) lines.push_back(line);
    }
    std::size_t capacity = 16;
    while (capacity < lines.size() + lines.size() / 2) capacity *= 2;  // at most two thirds full
    cells_.resize(capacity);
    mask_ = capacity - 1;
    entries_.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string_view line = lines[i];
      const std::string_view name = name_column(line);
      const std::size_t hash = hash_of(name);
      Cell& cell = cell_for(name, hash);
      if (cell.entry == 0) {
        entries_.push_back({name, line});
        if (i < modified.size()) entries_.back().modified = modified[i];
        cell = {static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(entries_.size())};
        continue;
      }
      Entry& first = entries_[cell.entry - 1];
      if (!first.shared) shared_lines_.insert(first.line);
      first.shared = true;
      shared_lines_.insert(line);
    }
  }

  // The entry with this name column, or null.
  Entry* find(std::string_view name) {
    const Cell& cell = cell_for(name, hash_of(name));
    return cell.entry == 0 ? nullptr : &entries_[cell.entry - 1];
  }

  bool has_line(const Entry& entry, std::string_view line) const {
    return entry.line == line || (entry.shared && shared_lines_.contains(line));
  }

  // Where names ignore case (Windows), the one entry whose name column is `name` by the file
  // system's rule: a file renamed in case only is still the same file. Null when there is none,
  // and when there are several (a case-sensitive folder can hold names that differ in case
  // alone): which one was meant cannot be told.
  Entry* find_ignoring_case(std::string_view name) {
    if (!fs::names_ignore_case() || entries_.empty()) return nullptr;
    if (by_key_.empty()) {
      by_key_.reserve(entries_.size());
      for (std::uint32_t i = 0; i < entries_.size(); ++i)
        by_key_.emplace_back(key_hash(fs::name_key(entries_[i].name)), i);
      std::sort(by_key_.begin(), by_key_.end());
    }
    const std::string key = fs::name_key(name);
    const std::uint32_t hash = key_hash(key);
    Entry* match = nullptr;
    for (auto it = std::lower_bound(by_key_.begin(), by_key_.end(), std::pair{hash, 0u});
         it != by_key_.end() && it->first == hash; ++it) {
      Entry& e = entries_[it->second];
      if (fs::name_key(e.name) != key) continue;
      if (match != nullptr || e.shared) return nullptr;
      match = &e;
    }
    return match;
  }

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  // Eight bytes, so that the table of a large folder stays in the cache.
  struct Cell {
    std::uint32_t hash = 0;   // the low bits of the name's hash
    std::uint32_t entry = 0;  // 1 + index into entries_; 0 for an empty cell
  };

  static std::size_t hash_of(std::string_view name) { return std::hash<std::string_view>{}(name); }

  // The cell holding `name`, or the empty cell where it would go.
  Cell& cell_for(std::string_view name, std::size_t hash) {
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      Cell& cell = cells_[i];
      if (cell.entry == 0 ||
          (cell.hash == static_cast<std::uint32_t>(hash) && entries_[cell.entry - 1].name == name))
        return cell;
    }
  }

  std::vector<Entry> entries_;  // in listing order
  std::vector<Cell> cells_;
  std::size_t mask_ = 0;
  std::unordered_set<std::string_view> shared_lines_;
  static std::uint32_t key_hash(const std::string& key) {
    return static_cast<std::uint32_t>(std::hash<std::string>{}(key));
  }
  // The hashes of the entries' name keys with their index into entries_, sorted: 8 bytes an
  // entry, built at the first name that matches no entry exactly.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> by_key_;
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
    case Status::kUnreadable:
      return "Could Not Be Read";
  }
  return {};
}

std::string status_counts_text(const std::array<std::uint64_t, kStatusCount>& counts) {
  static constexpr Status kOrder[] = {Status::kOk, Status::kMismatch, Status::kNotFound,
                                      Status::kUnreadable, Status::kSkipped};
  std::string out;
  for (const Status s : kOrder) {
    if (!out.empty()) out += ", ";
    out += std::to_string(counts[static_cast<int>(s)]) + " " + std::string(status_text(s));
  }
  return out + ".";
}

// The open earlier listing and the reader that reads it on from its first line.
struct EarlierReading {
  explicit EarlierReading(fs::File f) : file(std::move(f)), source(file.get()), reader(source) {}
  fs::File file;
  FileSource source;
  LineReader reader;
};

EarlierListing::EarlierListing() = default;
EarlierListing::~EarlierListing() = default;

void EarlierListing::close() {
  reading_.reset();
}

Earlier EarlierListing::open(const fs::Folder& folder, const std::string& listing_path) {
  close();
  kind_ = Earlier::kNone;
  error_ = {};
  written_ = fs::kUnknownTime;
  const fs::Ops& os = fs::ops();
  // The folder's own file is only ever read as a plain file, never through a link.
  fs::File file;
  if (listing_path.empty()) {
    switch (os.own_file(folder.get(), std::string(kListingFileName))) {
      case fs::OwnFile::kAbsent:
        return kind_ = Earlier::kNone;
      case fs::OwnFile::kNotPlain:
        return kind_ = Earlier::kNotPlain;
      case fs::OwnFile::kPlain:
        break;
    }
    if (!os.open_own_read(folder.get(), std::string(kListingFileName), file.receive(), &error_))
      return kind_ = Earlier::kUnreadable;
  } else {
    if (os.own_file(fs::kNoHandle, listing_path) == fs::OwnFile::kAbsent)
      return kind_ = Earlier::kNone;
    // A device or a FIFO (an output written straight through, /dev/null say) holds no listing,
    // nor does a link that leads nowhere or a folder: what is written there says why not.
    fs::OutputTarget target;
    fs::SysError ignored;
    if (!os.resolve_output(listing_path, &target, &ignored) ||
        target.kind == fs::OutputTarget::kStream)
      return kind_ = Earlier::kNone;
    fs::FileFacts facts;
    if (!os.open_read(fs::kNoHandle, listing_path, &facts, file.receive(), &error_))
      return kind_ = Earlier::kUnreadable;
  }
  // The earlier listing's own time is when the earlier run wrote it.
  fs::SysError no_time;
  fs::FileLook look;
  written_ = os.look(file.get(), &look, &no_time) ? look.times.modified : fs::kUnknownTime;
  reading_ = std::make_unique<EarlierReading>(std::move(file));
  std::string first;
  // A first line too long to be the header is not read to its end: one look is enough.
  const bool header = reading_->reader.read_line(first, /*read_through=*/false) &&
                      trim_blanks(first) == kListingHeader;
  if (reading_->source.failed()) {
    error_ = reading_->source.error();
    close();
    return kind_ = Earlier::kUnreadable;
  }
  if (!header) {
    close();
    return kind_ = Earlier::kNotAListing;
  }
  return kind_ = Earlier::kListing;
}

namespace {

// Coarse file systems keep modification times to two seconds (FAT), network shares often to one:
// a file whose time is within this much before the earlier listing's own may have been edited
// after it was written, and counts as modified.
constexpr std::int64_t kTimeTolerance = 2'000'000'000;  // nanoseconds

// Whether a file that changed was modified after the earlier listing was written. Where either
// time is not known, it counts as modified: nothing is called damage without evidence.
bool modified_after(std::int64_t file, std::int64_t listing) {
  return file == fs::kUnknownTime || listing == fs::kUnknownTime || file > listing - kTimeTolerance;
}

Comparison compare(EarlierReading& earlier, std::int64_t written, const fs::Folder& folder,
                   const Listing& listing, const std::vector<std::string_view>& unreadable_columns,
                   TextSink& out, const CompareOptions& options) {
  const std::string_view new_listing = listing.text;
  const std::vector<std::int64_t>& modified = listing.modified;
  // The program's own files, and the run's own by names of the user's choosing, are skipped.
  const auto own = [&listing](std::string_view name) {
    if (is_own_output(name, listing.own_names)) return true;
    return std::any_of(listing.run_files.begin(), listing.run_files.end(),
                       [name](const std::string& file) { return name_column(file) == name; });
  };
  Comparison result;
  FileSource& source = earlier.source;
  LineReader& reader = earlier.reader;
  reader.read_line();  // the earlier folder path and the rule are not examined
  reader.read_line();
  result.comparable = true;

  std::string text;
  append_header(text, kComparisonHeader, fs::best_listing_form(folder.path()));
  // Once the text cannot be written (a full disk, a closed pipe) there is no point going on.
  bool writing = out.write(text);

  EntryIndex now(new_listing, modified);
  for (const std::string_view column : unreadable_columns)
    if (EntryIndex::Entry* e = now.find(column)) e->unreadable = true;
  std::string raw;  // one line's memory serves them all
  // Every listing ends with an empty line; one that does not was cut short (a crash, a full
  // disk), and the files after its end were not checked.
  bool ended_empty = false;
  std::uint64_t lines = 0;
  while (writing && reader.has_more()) {
    // A stop is looked for now and then: a damaged listing may hold millions of lines.
    if ((++lines & 1023) == 0 && stop_requested(options.stop)) {
      result.stopped = true;
      break;
    }
    if (!reader.read_line(raw)) {
      ++result.overlong_lines;
      ended_empty = false;
      continue;
    }
    const std::string_view old_line = trim_blanks(raw);
    ended_empty = old_line.empty();  // a closing line of blanks (before a 0x1A, say) is empty too
    if (old_line.empty()) continue;
    ++result.entries;
    const std::string_view old_name = name_column(old_line);
    EntryIndex::Entry* found = now.find(old_name);
    // Renamed in case only: the same file, whose line differs in its name's letters.
    bool case_only = false;
    if (found == nullptr) {
      found = now.find_ignoring_case(old_name);
      case_only = found != nullptr;
    }
    if (found != nullptr) found->in_earlier = true;
    Status status = Status::kNotFound;
    if (own(old_name)) {
      status = Status::kSkipped;
    } else if (found != nullptr && found->unreadable) {
      // Never "OK" for a file that was not read, whatever its line says.
      status = Status::kUnreadable;
    } else if (found != nullptr) {
      const bool same = case_only ? checksum_column(old_line) == checksum_column(found->line)
                                  : now.has_line(*found, old_line);
      status = same ? Status::kOk : Status::kMismatch;
    }
    text.clear();
    append_column(text, old_line, kStatusColumnWidth);
    text += status_text(status);
    text += kCrLf;
    writing = out.write(text);
    ++result.counts[static_cast<int>(status)];
    const bool edited = status != Status::kMismatch || modified_after(found->modified, written);
    if (!edited) {
      ++result.unmodified_mismatches;
      if (result.unmodified_names.size() < options.kept_problems)
        result.unmodified_names.emplace_back(old_name);
    }
    if (status != Status::kOk && status != Status::kSkipped &&
        result.problems.size() < options.kept_problems)
      result.problems.push_back({std::string(old_line), status,
                                 status == Status::kMismatch ? std::string(found->line) : "",
                                 edited});
  }
  result.read_failed = source.failed();
  if (result.read_failed) result.read_error = source.error();
  result.write_failed = !writing;
  result.cut_short = !ended_empty && !result.read_failed && writing && !result.stopped;

  for (const EntryIndex::Entry& e : now.entries())
    if (!e.in_earlier && !own(e.name)) result.new_names.emplace_back(e.name);
  return result;
}

}  // namespace

Comparison COMPARECRCLIST(EarlierListing& earlier, const fs::Folder& folder, const Listing& listing,
                          TextSink& out, const CompareOptions& options) {
  if (earlier.kind() != Earlier::kListing || !earlier.reading_) return {};
  std::vector<std::string_view> unreadable;
  unreadable.reserve(listing.unreadable.size());
  for (const UnreadableFile& u : listing.unreadable) unreadable.push_back(u.name_column);
  Comparison result =
      compare(*earlier.reading_, earlier.written(), folder, listing, unreadable, out, options);
  earlier.close();
  return result;
}

}  // namespace sw
