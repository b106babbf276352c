// Splitting a full path at its last backslash, after trimming the blanks at its two ends.
#pragma once

#include <string>
#include <string_view>

namespace sw {

// Everything before the last "\" followed by "\"; just "\" when there is none.
std::string PATHPART(std::string_view path);

// Everything after the last "\"; the whole trimmed path when there is none.
std::string NAMEPART(std::string_view path);

}  // namespace sw
