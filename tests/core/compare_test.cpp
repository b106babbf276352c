#include "core/compare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/listing.h"
#include "tests/support/fs_fault.h"
#include "tests/support/product_road.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::TempFolder;
using test::write_bytes;

const std::string kRule = "-----------------------------------------";

// Windows names ignore case; POSIX names do not.
#ifdef _WIN32
constexpr bool kNamesIgnoreCase = true;
#else
constexpr bool kNamesIgnoreCase = false;
#endif

// A listing exactly as it is written to disk, for a folder and entries (name, checksum text).
std::string listing_text(const std::string& folder,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text = "File CRCs For Folder:\r\n" + folder + "\r\n" + kRule + "\r\n";
  for (const auto& [name, crc] : entries) append_entry(text, name, crc);
  return text;
}

std::string result_line(const std::string& old_line, const std::string& status) {
  std::string padded = old_line;
  if (padded.size() > 70)
    padded.resize(70);
  else
    padded.append(std::max<std::size_t>(1, 70 - padded.size()), ' ');
  return padded + status + "\r\n";
}

std::string comparison_header(const std::string& folder) {
  return "Comparison listing for Folder \r\n" + folder + "\r\n" + kRule + "\r\n";
}

std::string entry(const std::string& name, const std::string& crc) {
  std::string line;
  append_entry(line, name, crc);
  return line.substr(0, line.size() - 2);
}

class CompareTest : public ::testing::Test {
 protected:
  void earlier(const std::string& content) { write_bytes(dir.file("File CRCs.TXT"), content); }
  std::string folder() const { return dir.folder_path(); }
  // The comparison a run makes of the earlier listing with the listing `now`; its text goes to
  // `text`.
  Comparison compared(const std::string& now) {
    return test::compare(folder(), test::listing_of(now), &text);
  }
  TempFolder dir;
  std::string text;
};

TEST_F(CompareTest, NoEarlierListingOrAFolderOfThatNameIsNotComparable) {
  const std::string now = listing_text(folder(), {{"a", "1"}});
  EXPECT_FALSE(compared(now).comparable);
  std::filesystem::create_directory(dir.path() / "File CRCs.TXT");
  EXPECT_FALSE(compared(now).comparable);
}

TEST_F(CompareTest, HeaderMustBeTheListingHeaderAfterTrimming) {
  const std::string now = listing_text(folder(), {});
  earlier("Some other text\r\nx\r\ny\r\n");
  EXPECT_FALSE(compared(now).comparable);
  earlier("file crcs for folder:\r\nx\r\ny\r\n");  // case matters
  EXPECT_FALSE(compared(now).comparable);
  earlier("   File CRCs For Folder:  \r\nx\r\ny\r\n");
  EXPECT_TRUE(compared(now).comparable);
  earlier("");
  EXPECT_FALSE(compared(now).comparable);
}

TEST_F(CompareTest, EveryStatusWithItsExactResultLine) {
  earlier(listing_text("C:\\Old\\", {{"same.txt", "1234ABCD"},
                                     {"changed.txt", "11111111"},
                                     {"gone.txt", "2222"},
                                     {"File CRCs.TXT", "3333"},
                                     {"CRC Comparison.TXT", "4444"},
                                     {"file crcs.txt", "5555"}}) +
          "\r\n");
  const std::string now = listing_text(folder(), {{"same.txt", "1234ABCD"},
                                                  {"changed.txt", "11111112"},
                                                  {"new.txt", "77"},
                                                  {"File CRCs.TXT", "9999"}});
  const Comparison c = compared(now);
  ASSERT_TRUE(c.comparable);
  const std::string expected =
      comparison_header(folder()) + result_line(entry("same.txt", "1234ABCD"), "OK") +
      result_line(entry("changed.txt", "11111111"), "CRC Missmatch") +
      result_line(entry("gone.txt", "2222"), "Not Found in This Folder") +
      result_line(entry("File CRCs.TXT", "3333"), "Skipped") +
      result_line(entry("CRC Comparison.TXT", "4444"), "Skipped") +
      result_line(entry("file crcs.txt", "5555"),
                  kNamesIgnoreCase ? "Skipped" : "Not Found in This Folder");
  EXPECT_EQ(text, expected);
  EXPECT_EQ(c.count(Status::kOk), 1u);
  EXPECT_EQ(c.count(Status::kMismatch), 1u);
  EXPECT_EQ(c.count(Status::kNotFound), kNamesIgnoreCase ? 1u : 2u);
  EXPECT_EQ(c.count(Status::kSkipped), kNamesIgnoreCase ? 3u : 2u);
  ASSERT_EQ(c.problems.size(), kNamesIgnoreCase ? 2u : 3u);
  EXPECT_EQ(c.problems[0].old_line, entry("changed.txt", "11111111"));
  EXPECT_EQ(c.new_names, std::vector<std::string>{"new.txt"});
}

// Where names ignore case, a name that matches no file exactly is the one file whose name is
// the same but for case; the tool's own files are its own in any case. Where they do not, every
// byte counts.
TEST_F(CompareTest, NamesThatDifferOnlyInCase) {
  earlier(listing_text(folder(), {{"Report.DOC", "AB12"},
                                  {"Notes.TXT", "1111"},
                                  {"x.Txt", "5"},
                                  {"same.txt", "7"},
                                  {"FILE CRCS.TXT", "8"},
                                  {"crc comparison.txt", "9"},
                                  {"File CRCs.TXT.TMP-7-0123456789ABCDEF", "A"}}) +
          "\r\n");
  const std::string now = listing_text(folder(), {{"report.doc", "AB12"},
                                                  {"notes.txt", "2222"},
                                                  {"x.txt", "5"},
                                                  {"X.TXT", "5"},
                                                  {"same.txt", "7"}});
  const Comparison c = compared(now);
  const char* const kNotFound = "Not Found in This Folder";
  const std::string expected =
      comparison_header(folder()) +
      result_line(entry("Report.DOC", "AB12"), kNamesIgnoreCase ? "OK" : kNotFound) +
      result_line(entry("Notes.TXT", "1111"), kNamesIgnoreCase ? "CRC Missmatch" : kNotFound) +
      // Two files fit it alike (a case-sensitive folder): which one was meant cannot be told.
      result_line(entry("x.Txt", "5"), kNotFound) + result_line(entry("same.txt", "7"), "OK") +
      result_line(entry("FILE CRCS.TXT", "8"), kNamesIgnoreCase ? "Skipped" : kNotFound) +
      result_line(entry("crc comparison.txt", "9"), kNamesIgnoreCase ? "Skipped" : kNotFound) +
      result_line(entry("File CRCs.TXT.TMP-7-0123456789ABCDEF", "A"),
                  kNamesIgnoreCase ? "Skipped" : kNotFound);
  EXPECT_EQ(text, expected);
  if (kNamesIgnoreCase) {
    ASSERT_EQ(c.problems.size(), 2u);
    EXPECT_EQ(c.problems[0].new_line, entry("notes.txt", "2222"));
    EXPECT_EQ(c.new_names, (std::vector<std::string>{"x.txt", "X.TXT"}));
  } else {
    EXPECT_EQ(c.new_names, (std::vector<std::string>{"report.doc", "notes.txt", "x.txt", "X.TXT"}));
  }
}

TEST_F(CompareTest, MatchesEntriesNotSubstrings) {
  // A deleted file whose name occurs in another name, the folder path or the header, and a
  // checksum text that is a leading part of the new one.
  earlier(listing_text(folder(), {{"CRC", "AB"}, {"data", "10"}, {"For", "1"}, {"x.bin", "ABC"}}));
  const std::string now = listing_text(folder(), {{"data.bak", "10"}, {"x.bin", "ABCD"}});
  const Comparison c = compared(now);
  EXPECT_EQ(text, comparison_header(folder()) +
                      result_line(entry("CRC", "AB"), "Not Found in This Folder") +
                      result_line(entry("data", "10"), "Not Found in This Folder") +
                      result_line(entry("For", "1"), "Not Found in This Folder") +
                      result_line(entry("x.bin", "ABC"), "CRC Missmatch"));
}

TEST_F(CompareTest, LongNamesCompareOnTheirFirstFortyBytes) {
  const std::string long_name = std::string(45, 'n');
  earlier(listing_text(folder(), {{long_name, "1"}}));
  const Comparison same = compared(listing_text(folder(), {{long_name, "1"}}));
  EXPECT_EQ(same.count(Status::kOk), 1u);
  const Comparison other = compared(listing_text(folder(), {{std::string(40, 'n') + "zzz", "2"}}));
  EXPECT_EQ(other.count(Status::kMismatch), 1u);
}

TEST_F(CompareTest, BlankLinesLoneLfAndEndOfFileByte) {
  earlier("File CRCs For Folder:\r\nC:\\x\\\r\n" + kRule + "\r\n\r\n     \r\n" +
          entry("a\nb", "1") + "\r\n" + entry("c", "2") + "\r\n\x1A" + entry("d", "3") + "\r\n");
  const Comparison c = compared(listing_text(folder(), {{"c", "2"}}));
  EXPECT_EQ(text, comparison_header(folder()) +
                      result_line(entry("a\nb", "1"), "Not Found in This Folder") +
                      result_line(entry("c", "2"), "OK"));
}

TEST_F(CompareTest, ShortEarlierListingsAndLongHandWrittenLines) {
  earlier("File CRCs For Folder:\r\n");
  const Comparison shortfile = compared(listing_text(folder(), {}));
  EXPECT_TRUE(shortfile.comparable);
  EXPECT_EQ(text, comparison_header(folder()));

  const std::string hand = std::string(75, 'h');
  const std::string exact70 = std::string(70, 'e');
  earlier(listing_text(folder(), {}) + hand + "\r\n" + exact70 + "\r\n");
  const Comparison c = compared(listing_text(folder(), {}));
  EXPECT_EQ(text, comparison_header(folder()) + std::string(70, 'h') +
                      "Not Found in This Folder\r\n" + exact70 + " Not Found in This Folder\r\n");
}

TEST_F(CompareTest, ResultLineOfAFortyEightByteLine) {
  const std::string line48 = std::string(40, 'q') + "ABCDEF12";
  earlier(listing_text(folder(), {}) + line48 + "\r\n");
  const Comparison c = compared(listing_text(folder(), {}));
  EXPECT_EQ(text, comparison_header(folder()) + line48 + std::string(22, ' ') +
                      "Not Found in This Folder\r\n");
}

TEST_F(CompareTest, UnopenableEarlierListingIsNotComparable) {
  earlier(listing_text(folder(), {{"a", "1"}}));
  test::FsOverride fault;
  fault.ops().open_own_read = [](fs::Handle, const std::string&, fs::Handle*, fs::SysError* err) {
    return test::inject(err, "in use");
  };
  EXPECT_FALSE(compared(listing_text(folder(), {})).comparable);
}

}  // namespace
}  // namespace sw
