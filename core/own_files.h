// The names of this program's own files, and of the temporary files its saves make: one place
// for every rule that tells them from a user's files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sw {

// Fixed names: other programs and earlier runs look for exactly these.
inline constexpr std::string_view kListingFileName = "File CRCs.TXT";
inline constexpr std::string_view kComparisonFileName = "CRC Comparison.TXT";
inline constexpr std::string_view kSettingsFileName = "Checksum.def";

// A save writes `target` first as target + ".tmp-" + the writer's process number + "-" + 16
// lower-case hexadecimal digits, and renames it over `target` once it is whole.
std::string temporary_name(std::string_view target, unsigned long process, std::uint64_t unique);

// How names of this program's own files are matched in a folder: as the file system compares
// names (fs::same_name: on Windows whatever their letters' case), or exactly, byte for byte, in
// a folder that tells names apart that differ in case alone (fs::Ops::tells_case_apart), where a
// user's "CRC COMPARISON.TXT" is the user's.
enum class OwnNames : std::uint8_t { kAsTheSystem, kExactly };

// Whether `name` has exactly that form for `target`: a user's "File CRCs.TXT.tmp-my notes" does
// not.
bool is_temporary_of(std::string_view name, std::string_view target,
                     OwnNames rule = OwnNames::kAsTheSystem);

// Whether a name is that of a temporary file of this program's saves of the listing or the
// comparison: such files are never listed nor compared.
bool is_own_temporary(std::string_view name, OwnNames rule = OwnNames::kAsTheSystem);

// Whether a name is one of the two output files or a temporary file of either.
bool is_own_output(std::string_view name, OwnNames rule = OwnNames::kAsTheSystem);

}  // namespace sw
