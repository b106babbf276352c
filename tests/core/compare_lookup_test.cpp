// The comparison's lookup of this run's entries: shared name columns and long listings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/compare.h"
#include "core/listing.h"
#include "core/text.h"
#include "tests/support/product_road.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::TempFolder;

std::string header(const std::string& folder) {
  return "File CRCs For Folder:\r\n" + folder + "\r\n-----------------------------------------\r\n";
}

std::string numbered(std::string prefix, int i) {
  prefix += std::to_string(i);
  return prefix;
}

TEST(CompareLookup, NamesThatShareTheirFirstFortyBytesMatchOnTheirWholeLine) {
  TempFolder dir;
  const std::string stem(40, 's');
  std::string now = header(dir.folder_path());
  append_entry(now, stem + "-one", "1111");
  append_entry(now, stem + "-two", "2222");
  append_entry(now, "plain", "3333");

  std::string earlier = header("old");
  append_entry(earlier, stem + "-two", "2222");  // the second of the pair: still OK
  append_entry(earlier, stem + "-one", "1111");
  append_entry(earlier, stem, "4444");  // the shared column with a checksum neither has
  test::write_bytes(dir.file("File CRCs.TXT"), earlier);

  const Comparison c = test::compare(dir.folder_path(), test::listing_of(now));
  ASSERT_TRUE(c.comparable);
  EXPECT_EQ(c.count(Status::kOk), 2u);
  EXPECT_EQ(c.count(Status::kMismatch), 1u);
  ASSERT_EQ(c.problems.size(), 1u);
  EXPECT_EQ(c.problems[0].old_line, stem + " 4444");  // a 40-byte name keeps one blank
  EXPECT_EQ(c.new_names, std::vector<std::string>{"plain"});
}

TEST(CompareLookup, ALongEarlierListingAgainstAFolderOfThousands) {
  // 3,000 entries now; the earlier listing has 2,700 of them (every tenth is new), a third of
  // those with another checksum, and 30,000 names that are gone.
  TempFolder dir;
  std::string now = header(dir.folder_path());
  std::string earlier = header("old");
  std::vector<std::string> expected_new;
  std::uint64_t ok = 0, changed = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = numbered("file_", i);
    const std::string crc = checksum_text(static_cast<std::uint32_t>(i) * 2654435761u);
    append_entry(now, name, crc);
    if (i % 10 == 0) {
      expected_new.push_back(name);
      continue;
    }
    const bool differs = i % 3 == 0;
    append_entry(earlier, name, differs ? "DEADBEEF" : crc);
    (differs ? changed : ok) += 1;
  }
  for (int i = 0; i < 30000; ++i) append_entry(earlier, numbered("gone_", i), "1");
  test::write_bytes(dir.file("File CRCs.TXT"), earlier);

  const Comparison c = test::compare(dir.folder_path(), test::listing_of(now));
  ASSERT_TRUE(c.comparable);
  EXPECT_EQ(c.count(Status::kOk), ok);
  EXPECT_EQ(c.count(Status::kMismatch), changed);
  EXPECT_EQ(c.count(Status::kNotFound), 30000u);
  EXPECT_EQ(c.problem_count(), changed + 30000u);
  EXPECT_EQ(c.problems.size(), kKeptProblemLines);  // the first ones, for a summary
  EXPECT_EQ(c.new_names, expected_new);             // in the order of this run's listing
}

}  // namespace
}  // namespace sw
