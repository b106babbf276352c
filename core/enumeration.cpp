#include "core/enumeration.h"

#include <algorithm>
#include <utility>

#include "core/own_files.h"

namespace sw {

EnumeratedFolder enumerate_folder(const fs::Folder& folder, bool sizes,
                                  const std::vector<std::string>& run_files) {
  EnumeratedFolder found;
  found.own_names =
      fs::ops().tells_case_apart(folder.get()) ? OwnNames::kExactly : OwnNames::kAsTheSystem;
  found.enumerated =
      fs::ops().list_folder(folder.get(), sizes, &found.entries, &found.enumerate_error);
  // Temporary files of earlier saves are no files of the user's: they leave the listing here.
  const OwnNames rule = found.own_names;
  const auto is_temporary = [&run_files, rule](const fs::DirEntry& e) {
    if (is_own_temporary(e.name, rule)) return true;
    for (const std::string& target : run_files)
      if (is_temporary_of(e.native(), target, rule)) return true;
    return false;
  };
  std::erase_if(found.entries, [&found, &is_temporary, &run_files](fs::DirEntry& e) {
    if (std::find(run_files.begin(), run_files.end(), e.native()) != run_files.end()) {
      found.run_files.push_back(e.name);
      return true;
    }
    if (!is_temporary(e)) return false;
    found.own_temporaries.push_back(std::move(e.native_name.empty() ? e.name : e.native_name));
    return true;
  });
  return found;
}

}  // namespace sw
