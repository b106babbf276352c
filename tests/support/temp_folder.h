// Real temporary folders for tests that touch the file system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sw::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the core wants it: ending in the platform's separator.
  std::string folder_path() const;
  std::string file(std::string_view name) const { return folder_path() + std::string(name); }

 private:
  std::filesystem::path path_;
};

void write_bytes(const std::string& path, std::string_view bytes);
std::string read_bytes(const std::string& path);
bool exists(const std::string& path);

}  // namespace sw::test
