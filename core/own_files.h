// The names of this program's own files, and of the temporary files its saves make: one place
// for every rule that tells them from a user's files.
#pragma once

#include <string_view>

#include "core/os/fs.h"

namespace sw {

// Fixed names: other programs and earlier runs look for exactly these.
inline constexpr std::string_view kListingFileName = "File CRCs.TXT";
inline constexpr std::string_view kComparisonFileName = "CRC Comparison.TXT";
inline constexpr std::string_view kSettingsFileName = "Checksum.def";

// Whether a name is that of a temporary file of this program's saves of the listing or the
// comparison: such files are never listed nor compared.
bool is_own_temporary(std::string_view name);

// Whether a name is one of the two output files or a temporary file of either.
bool is_own_output(std::string_view name);

}  // namespace sw
