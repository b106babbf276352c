// The streaming line reader (listings read back from disk) against the in-memory one (this run's
// listing text): the same lines, whatever the bytes and however the source cuts them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/line_reader.h"

namespace {

// Hands out its bytes in pieces of 1 to `piece` bytes.
class ChoppySource final : public sw::ByteSource {
 public:
  ChoppySource(std::string_view bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
  std::size_t fill(char* buffer, std::size_t capacity) override {
    const std::size_t n = std::min({capacity, bytes_.size(), piece_});
    std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view bytes_;
  std::size_t piece_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 7;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::string_view> in_memory;
  for (std::string_view rest = bytes; sw::lines_left(rest);)
    in_memory.push_back(sw::next_line(rest));

  for (const std::size_t cut : {piece, std::size_t{1} << 20}) {
    ChoppySource source(bytes, cut);
    sw::LineReader reader(source);
    std::size_t i = 0;
    while (reader.has_more()) {
      const std::string line = reader.read_line();
      // A line past the limit is read through and comes back empty.
      if (i >= in_memory.size()) std::abort();
      const bool kept = in_memory[i].size() <= sw::LineReader::kLineLimit;
      if (line != (kept ? in_memory[i] : std::string_view())) std::abort();
      ++i;
    }
    if (i != in_memory.size() || !reader.read_line().empty()) std::abort();
  }
  return 0;
}
