#include "core/text.h"

#include <algorithm>

namespace sw {

std::string_view trim_blanks(std::string_view text) {
  const auto first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlank);
  return text.substr(first, last - first + 1);
}

std::size_t padded_length(std::size_t trimmed_size, int width) {
  const std::size_t w = width < 0 ? 0 : static_cast<std::size_t>(width);
  // Always one blank after a text that is not cut, so one of exactly `width` bytes gets one more.
  return trimmed_size > w ? w : std::max(w, trimmed_size + 1);
}

std::string pad_column(std::string_view text, int width) {
  std::string out;
  append_column(out, text, width);
  return out;
}

void append_column(std::string& out, std::string_view text, int width) {
  const std::string_view trimmed = trim_blanks(text);
  const std::size_t length = padded_length(trimmed.size(), width);
  const std::size_t kept = std::min(length, trimmed.size());
  out.append(trimmed.substr(0, kept));
  out.append(length - kept, kBlank);
}

std::string PADOUT(std::string& text, int width) {
  text = pad_column(text, width);
  return text;
}

std::string listing_safe(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = marked_byte(c);
  return out;
}

std::string_view checksum_digits(std::uint32_t value, char (&digits)[8]) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::size_t n = 0;
  do {
    digits[7 - n++] = kDigits[value & 0xFu];
    value >>= 4;
  } while (value != 0);
  return std::string_view(digits + 8 - n, n);
}

std::string checksum_text(std::uint32_t value) {
  char digits[8];
  return std::string(checksum_digits(value, digits));
}

}  // namespace sw
