// Reads listing files back line by line: a line ends at CR, an LF right after that CR goes
// with it, a lone LF stays inside the line, and the byte 0x1A ends the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sw {

// Where the bytes come from: fills up to `capacity` bytes, returns how many (0 at the end or on
// a read error; the reader then treats the input as ended).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t fill(char* buffer, std::size_t capacity) = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t fill(char* buffer, std::size_t capacity) override;

 private:
  std::string_view bytes_;
};

class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source) {}
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Lines longer than this are read through but not kept: no line of a listing comes near it
  // (an entry is a 40-byte name column, a checksum and blanks), so memory never follows what a
  // damaged or hostile file holds.
  static constexpr std::size_t kLineLimit = 4096;

  // True while the input is not at its end and the next byte is not 0x1A.
  bool has_more();
  // The next line without its CR (and LF). Empty when nothing is left or the line is too long.
  std::string read_line();
  // The same into `line`, whose memory is reused: for loops over many lines. False, with `line`
  // empty, for a line longer than kLineLimit; that line is read through to its end, or with
  // `read_through` false left where the limit was passed (for a reader that wants no more).
  bool read_line(std::string& line, bool read_through = true);

 private:
  bool refill();

  static constexpr std::size_t kChunk = 64 * 1024;
  ByteSource& source_;
  char buffer_[kChunk];
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool ended_ = false;  // set once 0x1A was met or the source is exhausted
};

}  // namespace sw

namespace sw {

// The same line rule over text already in memory: returns the next line of `rest` as a view
// into it and advances `rest` past the line end. Call while !rest.empty() && rest[0] != 0x1A.
std::string_view next_line(std::string_view& rest);

// True while a line is left in `rest`.
inline bool lines_left(std::string_view rest) {
  return !rest.empty() && rest.front() != '\x1A';
}

}  // namespace sw
