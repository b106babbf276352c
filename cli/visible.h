// Text as it may reach a terminal: bytes that could steer it are shown escaped.
#pragma once

#include <string>
#include <string_view>

namespace sw::cli {

// The bytes with every control shown as an escape: bytes below 0x20 and 0x7F, bytes 0x80 to
// 0x9F that are not part of a well-formed UTF-8 sequence (terminals in 8-bit modes read them as
// C1 controls), and the UTF-8 forms of U+0080 to U+009F; a backslash is doubled so the escapes
// stay unambiguous. \t, \n, \r and \e are shown by name, the rest as \xHH. Everything else,
// UTF-8 text and the bytes of other encodings, stays as it is.
std::string visible(std::string_view bytes);

}  // namespace sw::cli
