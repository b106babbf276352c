#include "core/own_files.h"

namespace sw {

bool is_own_temporary(std::string_view name) {
  for (const std::string_view own : {kListingFileName, kComparisonFileName})
    if (name.size() > own.size() + fs::kTemporaryMark.size() && name.starts_with(own) &&
        name.substr(own.size()).starts_with(fs::kTemporaryMark))
      return true;
  return false;
}

bool is_own_output(std::string_view name) {
  return name == kListingFileName || name == kComparisonFileName || is_own_temporary(name);
}

}  // namespace sw
