#include "core/enumeration.h"

#include <utility>

#include "core/own_files.h"

namespace sw {

EnumeratedFolder enumerate_folder(const fs::Folder& folder, bool sizes) {
  EnumeratedFolder found;
  found.enumerated =
      fs::ops().list_folder(folder.get(), sizes, &found.entries, &found.enumerate_error);
  // Temporary files of earlier saves are no files of the user's: they leave the listing here.
  std::erase_if(found.entries, [&found](fs::DirEntry& e) {
    if (!is_own_temporary(e.name)) return false;
    found.own_temporaries.push_back(std::move(e.native_name.empty() ? e.name : e.native_name));
    return true;
  });
  return found;
}

}  // namespace sw
