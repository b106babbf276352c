#include "core/own_files.h"

#include <algorithm>
#include <cstdio>

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

}  // namespace

std::string temporary_name(std::string_view target, unsigned long process, std::uint64_t unique) {
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, "%lu-%016llx", process,
                static_cast<unsigned long long>(unique));
  std::string name(target);
  name.append(kTemporaryMark).append(suffix);
  return name;
}

bool is_temporary_of(std::string_view name, std::string_view target) {
  if (!name.starts_with(target) || !name.substr(target.size()).starts_with(kTemporaryMark))
    return false;
  const std::string_view rest = name.substr(target.size() + kTemporaryMark.size());
  const std::size_t dash = rest.find('-');
  if (dash == std::string_view::npos || dash > 10) return false;
  const std::string_view unique = rest.substr(dash + 1);
  return all_of(rest.substr(0, dash), is_decimal) && unique.size() == kUniqueDigits &&
         all_of(unique, is_lower_hex);
}

bool is_own_temporary(std::string_view name) {
  return is_temporary_of(name, kListingFileName) || is_temporary_of(name, kComparisonFileName);
}

bool is_own_output(std::string_view name) {
  return name == kListingFileName || name == kComparisonFileName || is_own_temporary(name);
}

}  // namespace sw
