#include "cli/json_report.h"

#include <nlohmann/json.hpp>

namespace sw::cli {
namespace {

using json = nlohmann::ordered_json;

bool is_utf8(const std::string& bytes) {
  try {
    (void)json(bytes).dump();
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

std::string hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Sets object[key] to the bytes, and object[key + "_hex"] when they are not UTF-8.
void put_bytes(json& object, const std::string& key, const std::string& bytes) {
  object[key] = bytes;
  if (!is_utf8(bytes)) object[key + "_hex"] = hex(bytes);
}

// An array of objects, each holding one of `items` under `key`.
json objects_of(const std::vector<std::string>& items, const std::string& key) {
  json out = json::array();
  for (const std::string& item : items) {
    json e;
    put_bytes(e, key, item);
    out.push_back(std::move(e));
  }
  return out;
}

json counts_of(const std::array<std::uint64_t, kStatusCount>& counts) {
  json out = json::object();
  for (int i = 0; i < kStatusCount; ++i)
    out[std::string(status_text(static_cast<Status>(i)))] = counts[i];
  return out;
}

json unreadable_of(const std::vector<UnreadableFile>& files) {
  json out = json::array();
  for (const UnreadableFile& u : files) {
    json entry;
    put_bytes(entry, "path", u.path);
    put_bytes(entry, "error", u.error.message);
    out.push_back(std::move(entry));
  }
  return out;
}

// Invalid UTF-8 has already been written out in hexadecimal; the string itself shows U+FFFD.
std::string line_of(const json& object) {
  return object.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

const char* earlier_text(Earlier earlier) {
  switch (earlier) {
    case Earlier::kNone:
      return "none";
    case Earlier::kNotPlain:
      return "not a plain file";
    case Earlier::kNotAListing:
      return "not a listing";
    case Earlier::kUnreadable:
      return "unreadable";
    case Earlier::kListing:
      return "listing";
  }
  return "";
}

}  // namespace

std::string folder_json(const RunReport& r, double seconds, ExitStatus status,
                        const std::string& problem) {
  json o;
  o["type"] = "folder";
  put_bytes(o, "folder", r.folder_path);
  o["files"] = r.listing.files_listed;
  o["bytes"] = r.listing.bytes;
  o["seconds"] = seconds;
  o["opened"] = r.opened;
  if (!r.opened) put_bytes(o, "open_error", r.open_error.message);
  o["enumerated"] = r.opened && r.listing.enumerated;
  if (!r.listing.enumerated) put_bytes(o, "enumerate_error", r.listing.enumerate_error.message);
  if ((r.listing_saved || r.listing_placed) && !r.listing_path.empty())
    put_bytes(o, "listing", r.listing_path);
  if (r.listing_placed) put_bytes(o, "listing_error", r.listing_error.message);
  o["earlier"] = earlier_text(r.earlier);
  if (r.earlier == Earlier::kUnreadable) put_bytes(o, "earlier_error", r.earlier_error.message);
  o["compared"] = r.comparison_accepted;
  if (r.comparison_accepted) o["comparison_written"] = r.comparison_saved;
  if ((r.comparison_saved || r.comparison_placed) && !r.comparison_path.empty())
    put_bytes(o, "comparison", r.comparison_path);
  if (r.comparison_placed) put_bytes(o, "comparison_error", r.comparison_error.message);
  if (r.comparison_accepted) {
    const Comparison& c = r.comparison;
    o["counts"] = counts_of(c.counts);
    json entries = json::array();
    for (const ComparedLine& p : c.problems) {
      json e;
      put_bytes(e, "name", std::string(name_column(p.old_line)));
      e["status"] = status_text(p.status);
      put_bytes(e, "old_crc", std::string(checksum_column(p.old_line)));
      if (p.status == Status::kMismatch) {
        put_bytes(e, "new_crc", std::string(checksum_column(p.new_line)));
        e["modified_after_listing"] = p.modified_after_listing;
      } else {
        e["new_crc"] = nullptr;
      }
      entries.push_back(std::move(e));
    }
    o["entries"] = std::move(entries);
    if (c.problem_count() > c.problems.size())
      o["entries_left_out"] = c.problem_count() - c.problems.size();
    o["new"] = objects_of(c.new_names, "name");
    if (c.read_failed) put_bytes(o, "earlier_error", c.read_error.message);
    o["unmodified_changes"] = c.unmodified_mismatches;
    o["earlier_entries"] = c.entries;
    o["earlier_cut_short"] = c.cut_short;
    o["overlong_lines"] = c.overlong_lines;
  }
  o["unreadable"] = unreadable_of(r.listing.unreadable);
  json shared = json::array();
  for (const std::vector<std::string>& group : r.listing.shared_columns)
    shared.push_back(objects_of(group, "name"));
  o["shared_names"] = std::move(shared);
  if (status != kExitDone) put_bytes(o, "error", exit_reason(r, status, problem));
  o["exit"] = static_cast<int>(status);
  return line_of(o);
}

std::string run_json(const TreeTotals& t) {
  json o;
  o["type"] = "run";
  o["folders"] = t.folders;
  o["files"] = t.files;
  o["bytes"] = t.bytes;
  o["seconds"] = t.seconds;
  o["compared"] = t.compared;
  o["counts"] = counts_of(t.counts);
  o["unreadable"] = unreadable_of(t.unreadable);
  o["unmodified_changes"] = t.unmodified_changes;
  o["unmodified_paths"] = objects_of(t.unmodified_paths, "path");
  o["trouble"] = objects_of(t.failed, "error");
  if (t.status != kExitDone) put_bytes(o, "error", exit_reason(t));
  o["exit"] = static_cast<int>(t.status);
  return line_of(o);
}

}  // namespace sw::cli
