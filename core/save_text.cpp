#include "core/save_text.h"

#include "core/text.h"

namespace sw {

bool SAVETEXTFILE(const std::string& path, std::string_view text, fs::SysError* error) {
  const fs::Ops& os = fs::ops();
  fs::SysError local;
  fs::SysError& err = error != nullptr ? *error : local;
  fs::File file;
  std::string temp;
  if (!os.create_temp_beside(path, file.receive(), &temp, &err)) return false;
  const bool written = os.write(file.get(), text.data(), text.size(), &err) &&
                       os.write(file.get(), kCrLf.data(), kCrLf.size(), &err) &&
                       os.flush(file.get(), &err);
  file.close();  // before the rename: Windows cannot rename a file that is open
  if (written && os.replace(temp, path, &err)) return true;
  os.remove(temp);
  return false;
}

}  // namespace sw
