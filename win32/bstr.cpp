#include "win32/bstr.h"

namespace sw::win32 {

std::string bstr_bytes(BSTR text) {
  return std::string(bstr_view(text));
}

std::string_view bstr_view(BSTR text) {
  if (text == nullptr) return {};
  return std::string_view(reinterpret_cast<const char*>(text), SysStringByteLen(text));
}

BSTR new_bstr(std::string_view bytes) {
  return SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
}

void store_bstr(BSTR* variable, std::string_view bytes) {
  BSTR fresh = new_bstr(bytes);
  if (fresh == nullptr) return;
  SysFreeString(*variable);
  *variable = fresh;
}

}  // namespace sw::win32
