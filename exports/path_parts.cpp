#include "exports/path_parts.h"

#include "core/text.h"

namespace sw {

std::string PATHPART(std::string_view path) {
  const std::string_view trimmed = trim_blanks(path);
  const std::size_t slash = trimmed.rfind('\\');
  std::string folder(slash == std::string_view::npos ? std::string_view()
                                                     : trimmed.substr(0, slash));
  folder.push_back('\\');
  return folder;
}

std::string NAMEPART(std::string_view path) {
  const std::string_view trimmed = trim_blanks(path);
  const std::size_t slash = trimmed.rfind('\\');
  return std::string(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
}

}  // namespace sw
