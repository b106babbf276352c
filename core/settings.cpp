#include "core/settings.h"

#include <algorithm>

#include "core/os/fs.h"
#include "core/text.h"

namespace sw {

std::string start_folder_from(std::string_view working_directory, char separator) {
  std::string folder(working_directory);
  folder.push_back(separator);
  const std::size_t n = folder.size();
  if (n >= 2 && folder[n - 2] == separator) folder.pop_back();
  return folder;
}

void Settings::determine_start_folder() {
  std::string cwd;
  fs::SysError err;
  if (!fs::ops().current_directory(&cwd, &err)) cwd.clear();
  start_folder_ = start_folder_from(cwd, fs::separator());
}

void Settings::load() {
  const fs::Ops& os = fs::ops();
  const std::string name(kSettingsFileName);
  fs::Folder folder;
  fs::SysError err;
  if (!folder.open(start_folder_, &err)) return;
  if (os.own_file(folder.get(), name) != fs::OwnFile::kPlain) return;
  fs::File file;
  bool writable = false;
  if (!os.open_update(folder.get(), name, file.receive(), &writable, &err)) return;
  std::size_t filled = 0;
  while (filled < record_.size()) {
    std::size_t got = 0;
    if (!os.read(file.get(), record_.data() + filled, record_.size() - filled, &got, &err) ||
        got == 0)
      break;
    filled += got;
  }
}

std::string Settings::remembered_folder() const {
  const auto end = std::find(record_.begin(), record_.end(), '\0');
  return std::string(trim_blanks(std::string_view(record_.data(), end - record_.begin())));
}

bool Settings::store_folder(std::string_view folder) {
  const std::string_view trimmed = trim_blanks(folder);
  // Cut short, it would name another folder, or none: the record keeps the one it has.
  if (trimmed.size() > record_.size()) return false;
  trimmed.copy(record_.data(), trimmed.size());  // an empty view may have no data at all
  std::fill(record_.begin() + static_cast<std::ptrdiff_t>(trimmed.size()), record_.end(), kBlank);
  return true;
}

Settings::Saved Settings::save(fs::SysError* why) const {
  const fs::Ops& os = fs::ops();
  fs::SysError ignored;
  fs::SysError& err = why != nullptr ? *why : ignored;
  fs::Folder folder;
  if (!folder.open(start_folder_, &err)) return Saved::kFailed;
  if (os.folder_is_read_only(folder.get())) return Saved::kReadOnlyFolder;
  fs::File file;
  bool writable = false;
  if (!os.open_update(folder.get(), std::string(kSettingsFileName), file.receive(), &writable,
                      &err))
    return Saved::kFailed;
  if (!writable) {
    err = {0, "the file is read-only"};
    return Saved::kFailed;
  }
  return os.write_at(file.get(), 0, record_.data(), record_.size(), &err) ? Saved::kWritten
                                                                          : Saved::kFailed;
}

}  // namespace sw
