#include "save_text.h"

#include "text.h"

namespace sw {

bool SAVETEXTFILE(const std::string& path, std::string_view text, fs::SysError* error) {
  const fs::Ops& os = fs::ops();
  fs::SysError local;
  fs::SysError& err = error != nullptr ? *error : local;
  fs::Handle h = fs::kNoHandle;
  std::string temp;
  if (!os.create_temp_beside(path, &h, &temp, &err)) return false;
  const bool written = os.write(h, text.data(), text.size(), &err) &&
                       os.write(h, kCrLf.data(), kCrLf.size(), &err) && os.flush(h, &err);
  os.close(h);
  if (written && os.replace(temp, path, &err)) return true;
  os.remove(temp);
  return false;
}

}  // namespace sw
