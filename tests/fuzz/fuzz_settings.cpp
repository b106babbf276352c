// A "Checksum.def" of any bytes and any length: the remembered folder is at most 256 bytes,
// trimmed and free of NULs, and storing and saving it gives the same folder back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/settings.h"
#include "core/text.h"
#include "tests/fuzz/memory_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sw::fuzz::MemoryFolder folder;
  folder.own[std::string(sw::kSettingsFileName)] =
      std::string(reinterpret_cast<const char*>(data), size);
  sw::fuzz::use(folder);

  sw::Settings settings;
  settings.set_start_folder(sw::fuzz::MemoryFolder::kPath);
  settings.load();
  const std::string remembered = settings.remembered_folder();
  if (remembered.size() > sw::kSettingsRecordSize || remembered.find('\0') != std::string::npos ||
      sw::trim_blanks(remembered) != remembered)
    std::abort();

  settings.store_folder(remembered);
  if (settings.save() != sw::Settings::Saved::kWritten) std::abort();
  const std::string& saved = folder.own[std::string(sw::kSettingsFileName)];
  if (saved.size() != std::max(size, sw::kSettingsRecordSize)) std::abort();
  sw::Settings again;
  again.set_start_folder(sw::fuzz::MemoryFolder::kPath);
  again.load();
  if (again.remembered_folder() != remembered) std::abort();
  return 0;
}
