#include "ui/tree_summary.h"

#include "core/listing.h"
#include "core/os/fs.h"
#include "core/text.h"

namespace sw::ui {
namespace {

// At most this many paths are named in a box; the rest are counted.
constexpr std::size_t kNamedInABox = 10;
// At most this many lines of one folder are named in the summary; its comparison has them all.
constexpr std::size_t kLinesAFolder = 1000;

std::string plural(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + (n == 1 ? one : many);
}

// "  path: why" lines, the first ten, then how many more.
std::string named_lines(std::uint64_t count, const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < kNamedInABox; ++i)
    text += "  " + lines[i] + "\r\n";
  if (count > kNamedInABox) text += "  and " + std::to_string(count - kNamedInABox) + " more\r\n";
  return text;
}

}  // namespace

std::string TreeSummary::relative(const std::string& native_path) const {
  const std::string shown = fs::best_listing_form(native_path);
  if (shown.starts_with(top_)) return shown.substr(top_.size());
  return shown;
}

void TreeSummary::add(const RunReport& r) {
  Folder& folder = folders_.emplace_back();
  folder.relative = relative(r.folder_path);
  const std::string& where = folder.relative;
  if (!r.opened) {
    trouble_.push_back({where, "the folder could not be opened: " + r.open_error.message +
                                   "; nothing below it was read"});
    return;
  }
  const Listing& listing = r.listing;
  folder.files = listing.files_listed;
  folder.bytes = listing.bytes;
  if (!listing.enumerated)
    trouble_.push_back(
        {where, "the folder could not be read to its end: " + listing.enumerate_error.message +
                    "; its listing was not written"});
  for (const UnreadableFile& u : listing.unreadable) {
    ++unreadable_count_;
    if (unreadable_.size() < kNamedInABox)
      unreadable_.push_back({relative(u.path), u.error.message});
  }
  if (r.earlier == Earlier::kUnreadable)
    trouble_.push_back({where + std::string(kListingFileName),
                        "this earlier listing could not be read: " + r.earlier_error.message});
  const Comparison& c = r.comparison;
  if (r.comparison_accepted && c.comparable) {
    folder.compared = true;
    folder.counts = c.counts;
    for (const ComparedLine& p : c.problems) {
      if (folder.lines.size() == kLinesAFolder) break;
      folder.lines.push_back(where + std::string(name_column(p.old_line)) + "  " +
                             std::string(status_text(p.status)));
    }
    folder.lines_left_out = c.problem_count() - folder.lines.size();
    damage_count_ += c.unmodified_mismatches;
    for (const std::string& name : c.unmodified_names)
      if (damage_.size() < kNamedInABox) damage_.push_back(where + name);
    if (c.cut_short)
      trouble_.push_back({where + std::string(kListingFileName),
                          "this earlier listing was cut short: files it would have named after "
                          "its end were not checked"});
  }
  if (r.comparison_accepted && c.comparable && !r.comparison_saved && !r.comparison_path.empty())
    trouble_.push_back(
        {relative(r.comparison_path), r.comparison_placed
                                          ? r.comparison_error.message
                                          : "could not be written: " + r.comparison_error.message});
  if (!r.listing_saved && listing.enumerated && !r.listing_path.empty())
    trouble_.push_back({relative(r.listing_path),
                        r.listing_placed ? r.listing_error.message
                                         : "could not be written: " + r.listing_error.message});
}

std::string TreeSummary::unreadable_text() const {
  if (unreadable_count_ == 0) return {};
  std::vector<std::string> lines;
  for (const Named& n : unreadable_) lines.push_back(n.path + ": " + n.why);
  return plural(unreadable_count_, " file of the tree could not be read; it is",
                " files of the tree could not be read; they are") +
         " listed with the checksum 0:\r\n" + named_lines(unreadable_count_, lines);
}

std::string TreeSummary::damage_text() const {
  if (damage_count_ == 0) return {};
  return plural(damage_count_, " file has changed", " files have changed") +
         " although not modified since its folder's earlier listing was written: possible "
         "damage, or an older copy put back.\r\n" +
         named_lines(damage_count_, damage_);
}

std::string TreeSummary::trouble_text() const {
  if (trouble_.empty()) return {};
  std::vector<std::string> lines;
  for (const Named& n : trouble_) lines.push_back(n.path + ": " + n.why);
  return "Not everything of the tree could be done:\r\n" + named_lines(trouble_.size(), lines) +
         "Any earlier file that could not be replaced is unchanged.";
}

std::string TreeSummary::text() const {
  std::string text;
  append_header(text, "Tree summary for Folder", top_);
  std::uint64_t files = 0, bytes = 0, compared = 0;
  std::array<std::uint64_t, kStatusCount> counts{};
  for (const Folder& f : folders_) {
    files += f.files;
    bytes += f.bytes;
    if (!f.compared) continue;
    ++compared;
    for (int i = 0; i < kStatusCount; ++i) counts[i] += f.counts[i];
  }
  text += plural(folders_.size(), " folder, ", " folders, ") +
          plural(files, " file, ", " files, ") + plural(bytes, " byte.", " bytes.");
  text += kCrLf;
  if (compared > 0) {
    text +=
        "Compared in " + plural(compared, " folder: ", " folders: ") + status_counts_text(counts);
    text += kCrLf;
  }
  for (const Folder& f : folders_) {
    text += kCrLf;
    text += (f.relative.empty() ? top_ : f.relative) + std::string(kCrLf);
    text += "  " + plural(f.files, " file listed", " files listed");
    text += f.compared ? "; compared: " + status_counts_text(f.counts) : std::string(".");
    text += kCrLf;
    for (const std::string& line : f.lines) text += "  " + line + std::string(kCrLf);
    if (f.lines_left_out > 0)
      text += "  and " + std::to_string(f.lines_left_out) + " more in its comparison" +
              std::string(kCrLf);
  }
  const auto section = [&text](const std::string& box) {
    if (box.empty()) return;
    text += kCrLf;
    std::string_view rest = box;
    while (!rest.empty()) {  // the box's lines, each ended as the file ends lines
      const std::size_t end = rest.find("\r\n");
      text.append(rest.substr(0, end)).append(kCrLf);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    }
  };
  section(unreadable_text());
  section(damage_text());
  section(trouble_text());
  return text;
}

}  // namespace sw::ui
