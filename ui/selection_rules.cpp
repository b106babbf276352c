#include "selection_rules.h"

namespace sw::ui {

bool selection_rejected(bool has_item, std::string_view path, DWORD attributes) {
  if (!has_item || path.empty()) return true;
  // INVALID_FILE_ATTRIBUTES has every bit set, so the directory test alone would pass it.
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return true;
  if (path.size() < 2 || path[1] != ':') return true;
  const bool drive_root = path.size() >= 2 && path.substr(path.size() - 2) == ":\\";
  return (attributes & FILE_ATTRIBUTE_SYSTEM) != 0 && !drive_root;
}

}  // namespace sw::ui
