#include "cli/line_sink.h"

#include "cli/visible.h"

namespace sw::cli {

bool VisibleLineSink::write(std::string_view text) {
  for (;;) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) break;
    partial_.append(text.substr(0, end));
    print(partial_);
    partial_.clear();
    text.remove_prefix(end + 1);
  }
  partial_.append(text);
  return std::ferror(out_) == 0;
}

void VisibleLineSink::finish() {
  if (!partial_.empty()) print(partial_);
  partial_.clear();
}

void VisibleLineSink::print(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  const std::string shown = visible(line);
  std::fwrite(shown.data(), 1, shown.size(), out_);
  std::fputc('\n', out_);
}

}  // namespace sw::cli
