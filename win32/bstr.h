// The counted byte strings other programs pass in and get back: BSTRs whose bytes are used as
// they are, with their own length (NUL bytes allowed), never converted.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include <string>
#include <string_view>

namespace sw::win32 {

// The bytes of a BSTR; a null BSTR is the empty string.
std::string bstr_bytes(BSTR text);
// The same, without a copy: valid while the BSTR lives.
std::string_view bstr_view(BSTR text);

// A new BSTR holding the bytes, owned by the caller. Null (which reads as empty) when memory
// runs out.
BSTR new_bstr(std::string_view bytes);

// Replaces the string in the caller's variable, releasing the old one. When the new string
// cannot be allocated, the variable keeps its old value.
void store_bstr(BSTR* variable, std::string_view bytes);

}  // namespace sw::win32
