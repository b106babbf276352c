#include "core/line_reader.h"

#include <algorithm>
#include <cstring>

namespace sw {
namespace {
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfFile = '\x1A';
}  // namespace

std::size_t MemorySource::fill(char* buffer, std::size_t capacity) {
  const std::size_t n = bytes_.copy(buffer, capacity);
  bytes_.remove_prefix(n);
  return n;
}

bool LineReader::refill() {
  if (ended_) return false;
  pos_ = 0;
  end_ = source_.fill(buffer_, kChunk);
  if (end_ == 0) ended_ = true;
  return end_ != 0;
}

bool LineReader::has_more() {
  if (pos_ == end_ && !refill()) return false;
  if (buffer_[pos_] == kEndOfFile) {
    ended_ = true;
    pos_ = end_ = 0;
    return false;
  }
  return true;
}

std::string LineReader::read_line() {
  std::string line;
  read_line(line);
  return line;
}

bool LineReader::read_line(std::string& line, bool read_through) {
  line.clear();
  bool kept = true;
  while (has_more()) {
    const char* start = buffer_ + pos_;
    const std::size_t avail = end_ - pos_;
    // The line stops at the first CR or 0x1A of this chunk; LF is ordinary data. Two memchr
    // scans are many times faster than one loop testing two bytes.
    const void* cr = std::memchr(start, kCr, avail);
    const char* limit = cr != nullptr ? static_cast<const char*>(cr) : start + avail;
    const void* eof = std::memchr(start, kEndOfFile, static_cast<std::size_t>(limit - start));
    const char* stop = eof != nullptr ? static_cast<const char*>(eof) : limit;
    const auto length = static_cast<std::size_t>(stop - start);
    if (kept && line.size() + length <= kLineLimit) {
      line.append(start, length);
    } else if (kept) {
      kept = false;
      line.clear();
      line.shrink_to_fit();
      if (!read_through) return false;
    }
    pos_ += length;
    if (pos_ == end_) continue;              // chunk ended inside the line
    if (buffer_[pos_] == kEndOfFile) break;  // has_more() marks the end on the next call
    ++pos_;                                  // the CR
    if (has_more() && buffer_[pos_] == kLf) ++pos_;
    break;
  }
  return kept;
}

}  // namespace sw

namespace sw {

std::string_view next_line(std::string_view& rest) {
  if (!lines_left(rest)) {
    rest = {};
    return {};
  }
  const std::size_t stop = rest.find_first_of(std::string_view("\r\x1A", 2));
  const std::string_view line = rest.substr(0, stop);
  if (stop == std::string_view::npos) {
    rest = {};
  } else if (rest[stop] == kEndOfFile) {
    rest = rest.substr(stop);  // lines_left() is false from here on
  } else {
    rest.remove_prefix(stop + 1);
    if (!rest.empty() && rest.front() == kLf) rest.remove_prefix(1);
  }
  return line;
}

}  // namespace sw
