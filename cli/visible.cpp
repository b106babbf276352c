#include "cli/visible.h"

namespace sw::cli {
namespace {

void escape(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (c) {
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case 0x1B:
      out += "\\e";
      return;
    default:
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
  }
}

// The length of the well-formed UTF-8 sequence at the start of `rest`, or 0.
std::size_t utf8_length(std::string_view rest) {
  const auto lead = static_cast<unsigned char>(rest[0]);
  std::size_t n = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
    n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    n = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    n = 4;
  if (n == 0 || rest.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return 0;
  const auto second = static_cast<unsigned char>(rest[1]);
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
    return 0;
  return n;
}

}  // namespace

std::string visible(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\\') {
      out += "\\\\";
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      escape(out, c);
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = utf8_length(bytes.substr(i)); n > 0) {
      // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
      const bool c1 = c == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F;
      for (std::size_t k = 0; k < n; ++k) {
        if (c1)
          escape(out, static_cast<unsigned char>(bytes[i + k]));
        else
          out += bytes[i + k];
      }
      i += n;
    } else {
      if (c <= 0x9F)
        escape(out, c);
      else
        out += static_cast<char>(c);
      ++i;
    }
  }
  return out;
}

}  // namespace sw::cli
