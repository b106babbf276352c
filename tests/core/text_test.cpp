#include "core/text.h"

#include <gtest/gtest.h>

#include <string>

#include "core/line_reader.h"

namespace sw {
namespace {

using namespace std::string_literals;

TEST(Trim, OnlyBlanksAtTheEndsGo) {
  EXPECT_EQ(trim_blanks("  ab  "), "ab");
  EXPECT_EQ(trim_blanks("\tab\t"), "\tab\t");
  EXPECT_EQ(trim_blanks(" a b "), "a b");
  EXPECT_EQ(trim_blanks("    "), "");
  EXPECT_EQ(trim_blanks(" \0x "s), "\0x"s);
}

TEST(Padout, ColumnRuleAndWriteBack) {
  struct Case {
    std::string text;
    int width;
    std::string result;
  };
  const Case cases[] = {
      {"  ab  ", 5, "ab   "}, {"abcde", 5, "abcde "},  // exactly the width: one blank more
      {"abcdef", 5, "abcde"}, {"", 3, "   "},         {"", 0, " "}, {"x", 0, ""},
      {"a\0b"s, 4, "a\0b "s}, {"abc", -5, ""},  // a negative width acts as 0
      {"", -1, " "},
  };
  for (const Case& c : cases) {
    std::string variable = c.text;
    EXPECT_EQ(PADOUT(variable, c.width), c.result) << '"' << c.text << "\" " << c.width;
    EXPECT_EQ(variable, c.result);  // the caller's variable holds the result too
  }
}

// A source that hands out one byte per fill, to put every line end across a chunk boundary.
class TrickleSource final : public ByteSource {
 public:
  explicit TrickleSource(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t fill(char* buffer, std::size_t) override {
    if (pos_ == bytes_.size()) return 0;
    buffer[0] = bytes_[pos_++];
    return 1;
  }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

std::vector<std::string> lines_streamed(ByteSource& source) {
  LineReader reader(source);
  std::vector<std::string> out;
  while (reader.has_more()) out.push_back(reader.read_line());
  return out;
}

std::vector<std::string> lines_in_memory(std::string_view text) {
  std::vector<std::string> out;
  while (lines_left(text)) out.emplace_back(next_line(text));
  return out;
}

struct LineCase {
  std::string input;
  std::vector<std::string> lines;
};

TEST(LineRules, StreamedAndInMemoryReadersAgreeOnEveryRule) {
  const std::vector<LineCase> cases = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},        // CR alone ends a line
      {"a\nb\r\nc", {"a\nb", "c"}},  // a lone LF stays inside the line
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\nb\x1A"
       "c\r\nd\r\n",
       {"a", "b"}},  // 0x1A ends the file
      {"\x1A"
       "abc",
       {}},
      {"", {}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"x\r\n\n", {"x", "\n"}},  // the LF after CR LF is the next line's
  };
  for (const auto& c : cases) {
    MemorySource whole(c.input);
    TrickleSource trickle(c.input);
    EXPECT_EQ(lines_streamed(whole), c.lines) << c.input;
    EXPECT_EQ(lines_streamed(trickle), c.lines) << c.input;
    EXPECT_EQ(lines_in_memory(c.input), c.lines) << c.input;
  }
}

TEST(LineRules, ReadingPastTheEndGivesEmptyLines) {
  MemorySource source("only\r\n");
  LineReader reader(source);
  EXPECT_EQ(reader.read_line(), "only");
  EXPECT_FALSE(reader.has_more());
  EXPECT_EQ(reader.read_line(), "");
  EXPECT_EQ(reader.read_line(), "");
}

TEST(LineRules, LinesSpanChunksUpToTheLimitAndLongerOnesAreReadThroughNotKept) {
  const std::string longest(LineReader::kLineLimit, 'q');
  const std::string too_long(200000, 'q');  // three chunks and more
  const std::string input = longest + "\r\n" + too_long + "\r\n" + too_long + "end";
  MemorySource source(input);
  LineReader reader(source);
  std::string line;
  EXPECT_TRUE(reader.read_line(line));
  EXPECT_EQ(line, longest);
  EXPECT_FALSE(reader.read_line(line));
  EXPECT_EQ(line, "");
  EXPECT_LE(line.capacity(), LineReader::kLineLimit + 64);  // nothing of it kept
  // A line without a line end, to the end of the input, is one line too.
  EXPECT_FALSE(reader.read_line(line));
  EXPECT_FALSE(reader.has_more());
}

}  // namespace
}  // namespace sw
