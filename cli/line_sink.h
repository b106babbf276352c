// Where a comparison goes when it is not written to a file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/save_text.h"

namespace sw::cli {

// Prints the text line by line for people: LF line ends, control bytes escaped, so a name in an
// earlier listing cannot steer the terminal.
class VisibleLineSink final : public TextSink {
 public:
  explicit VisibleLineSink(std::FILE* out) : out_(out) {}
  bool write(std::string_view text) override;
  // Prints what is left of an unfinished last line.
  void finish();

 private:
  void print(std::string_view line);

  std::FILE* out_;
  std::string partial_;
};

// Takes the text and keeps none of it: the summary tells what the comparison found.
class DiscardSink final : public TextSink {
 public:
  bool write(std::string_view) override { return true; }
};

}  // namespace sw::cli
