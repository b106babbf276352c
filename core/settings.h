// The one remembered setting: the last chosen folder, kept as a 256-byte record in
// "Checksum.def" in the folder the program was started in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/os/fs.h"
#include "core/own_files.h"

namespace sw {

inline constexpr std::size_t kSettingsRecordSize = 256;

// The working directory followed by one separator. Only a doubled separator at the end (a
// drive root) is collapsed, so a network path keeps its two leading backslashes.
std::string start_folder_from(std::string_view working_directory, char separator);

class Settings {
 public:
  using Record = std::array<char, kSettingsRecordSize>;

  // Asks the system for the working directory; kept for the life of the process.
  void determine_start_folder();
  void set_start_folder(std::string folder) { start_folder_ = std::move(folder); }
  const std::string& start_folder() const { return start_folder_; }
  std::string file_path() const { return start_folder_ + std::string(kSettingsFileName); }

  // Reads up to 256 bytes of a plain "Checksum.def" (not hidden, system or a folder) into the
  // record. Silent: whatever could not be read stays as it was.
  void load();

  // The record up to its first NUL, blanks trimmed: the folder the picker starts at.
  std::string remembered_folder() const;

  // The folder, trimmed, filled with blanks to 256 bytes. One longer than the record is not
  // stored (cut short it would name another folder): false, and the record keeps its folder.
  bool store_folder(std::string_view folder);

  enum class Saved : std::uint8_t {
    kWritten,
    kReadOnlyFolder,  // the start folder is marked read-only: nothing is written there, by design
    kFailed,          // the file could not be written; `why` says why
  };
  // Writes the 256-byte record at the start of the settings file (created when missing, never
  // shortened), unless the start folder is read-only.
  Saved save(fs::SysError* why = nullptr) const;

  const Record& record() const { return record_; }

 private:
  Record record_{};  // all NUL until loaded or stored
  std::string start_folder_;
};

}  // namespace sw
