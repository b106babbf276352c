#include "core/enumeration.h"

#include <utility>

#include "core/own_files.h"

namespace sw {

EnumeratedFolder enumerate_folder(const fs::Folder& folder, bool sizes,
                                  const std::vector<std::string>& other_outputs) {
  EnumeratedFolder found;
  found.enumerated =
      fs::ops().list_folder(folder.get(), sizes, &found.entries, &found.enumerate_error);
  // Temporary files of earlier saves are no files of the user's: they leave the listing here.
  const auto is_temporary = [&other_outputs](const fs::DirEntry& e) {
    if (is_own_temporary(e.name)) return true;
    for (const std::string& target : other_outputs)
      if (is_temporary_of(e.native(), target)) return true;
    return false;
  };
  std::erase_if(found.entries, [&found, &is_temporary](fs::DirEntry& e) {
    if (!is_temporary(e)) return false;
    found.own_temporaries.push_back(std::move(e.native_name.empty() ? e.name : e.native_name));
    return true;
  });
  return found;
}

}  // namespace sw
