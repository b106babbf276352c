#include "core/own_files.h"

#include <algorithm>
#include <cstdio>

#include "core/os/fs.h"

namespace sw {
namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kUniqueDigits = 16;

bool all_of(std::string_view text, bool (*test)(char)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), test);
}

bool is_decimal(char c) {
  return c >= '0' && c <= '9';
}
bool is_lower_hex(char c) {
  return is_decimal(c) || (c >= 'a' && c <= 'f');
}
// Where names ignore case, a temporary name written in capitals names the same file.
bool is_hex(char c) {
  return is_lower_hex(c) || (c >= 'A' && c <= 'F');
}

}  // namespace

std::string temporary_name(std::string_view target, unsigned long process, std::uint64_t unique) {
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, "%lu-%016llx", process,
                static_cast<unsigned long long>(unique));
  std::string name(target);
  name.append(kTemporaryMark).append(suffix);
  return name;
}

namespace {

bool same(std::string_view a, std::string_view b, OwnNames rule) {
  return rule == OwnNames::kExactly ? a == b : fs::same_name(a, b);
}

}  // namespace

bool is_temporary_of(std::string_view name, std::string_view target, OwnNames rule) {
  const std::size_t head = target.size() + kTemporaryMark.size();
  if (name.size() <= head || !same(name.substr(0, target.size()), target, rule) ||
      !same(name.substr(target.size(), kTemporaryMark.size()), kTemporaryMark, rule))
    return false;
  const std::string_view rest = name.substr(head);
  const std::size_t dash = rest.find('-');
  if (dash == std::string_view::npos || dash > 10) return false;
  const std::string_view unique = rest.substr(dash + 1);
  const bool any_case = rule == OwnNames::kAsTheSystem && fs::names_ignore_case();
  return all_of(rest.substr(0, dash), is_decimal) && unique.size() == kUniqueDigits &&
         all_of(unique, any_case ? is_hex : is_lower_hex);
}

bool is_own_temporary(std::string_view name, OwnNames rule) {
  return is_temporary_of(name, kListingFileName, rule) ||
         is_temporary_of(name, kComparisonFileName, rule);
}

// By the file system's rule: where names ignore case, "FILE CRCS.TXT" is the listing itself.
bool is_own_output(std::string_view name, OwnNames rule) {
  return same(name, kListingFileName, rule) || same(name, kComparisonFileName, rule) ||
         is_own_temporary(name, rule);
}

}  // namespace sw
