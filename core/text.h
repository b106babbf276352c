// Text rules shared by the listing, the comparison and the settings: byte strings, blanks
// (0x20 only) trimmed at the two ends, the column rule, the checksum text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sw {

inline constexpr char kBlank = ' ';
inline constexpr std::string_view kCrLf = "\r\n";

// Removes leading and trailing blanks; tabs, NULs and every other byte stay.
std::string_view trim_blanks(std::string_view text);

// The column rule: the trimmed text cut to `width` bytes when longer, otherwise followed by
// one blank and then blanks up to `width` bytes. A negative width counts as 0.
std::string pad_column(std::string_view text, int width);
// The same appended to `out`: one line of a long text, without a string of its own.
void append_column(std::string& out, std::string_view text, int width);

// The length of pad_column's result for a trimmed text of `trimmed_size` bytes.
std::size_t padded_length(std::size_t trimmed_size, int width);

// pad_column that also stores its result back into the caller's variable.
std::string PADOUT(std::string& text, int width);

// The mark the system's ANSI conversion writes for what it cannot hold.
inline constexpr char kUnwritableMark = '?';

// A byte that the listing format gives a meaning (CR, LF, 0x1A, NUL) as kUnwritableMark, so that
// no name or folder line can end or split a listing file, and the same file gives the same line
// in every run; every other byte as it is.
constexpr char marked_byte(char c) {
  return c == '\r' || c == '\n' || c == '\x1A' || c == '\0' ? kUnwritableMark : c;
}

// The text with every byte marked as marked_byte does.
std::string listing_safe(std::string_view text);

// Upper-case hexadecimal without leading zeros; "0" for zero.
std::string checksum_text(std::uint32_t value);
// The same written into `digits`, without an allocation: a view of its end.
std::string_view checksum_digits(std::uint32_t value, char (&digits)[8]);

}  // namespace sw
