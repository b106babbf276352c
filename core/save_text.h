// Writing an output text file without ever losing the earlier one.
#pragma once

#include <string>
#include <string_view>

#include "core/fs.h"

namespace sw {

// Writes `text` followed by CR LF to `path`. The bytes go to a temporary file in the same
// folder, which replaces `path` only once everything is written and flushed; on any failure
// the earlier file stays exactly as it was, the temporary file is removed, and the reason is
// put into `error`.
bool SAVETEXTFILE(const std::string& path, std::string_view text, fs::SysError* error);

}  // namespace sw
