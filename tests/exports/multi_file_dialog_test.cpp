#include "exports/multi_file_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "exports/path_parts.h"
#include "tests/exports/fake_file_dialog.h"

namespace sw {
namespace {

using namespace std::string_literals;
using test::fake_dialog;
using test::fake_platform;

TEST(FixedField, CutAtFirstNulAndAtSizeLessOne) {
  EXPECT_EQ(fixed_field("abc\0def"s, 256), "abc");
  EXPECT_EQ(fixed_field(std::string(300, 'f'), 256), std::string(255, 'f'));
  EXPECT_EQ(fixed_field("LONGEXTENSION", 10), "LONGEXTEN");
}

TEST(MultiFileBuffer, NameOverAllNulBuffer) {
  EXPECT_EQ(multi_file_buffer("*.*"), "*.*"s + std::string(16380, '\0'));
  EXPECT_EQ(multi_file_buffer(std::string(20000, 'z')), std::string(16383, 'z'));
}

TEST(WithoutTrailingNuls, InnerNulsStay) {
  EXPECT_EQ(without_trailing_nuls("C:\\D\0a\0b\0\0\0"s), "C:\\D\0a\0b"s);
  EXPECT_EQ(without_trailing_nuls("\0\0"s), "");
}

TEST(SelectionFromAnswer, SingleFullPathIsSplitAtItsLastBackslash) {
  std::string selection;
  EXPECT_EQ(selection_from_answer("C:\\Data\\a.txt", selection), 1);
  EXPECT_EQ(selection, "C:\\Data\\?a.txt");
  EXPECT_EQ(selection_from_answer("C:\\a.txt", selection), 1);
  EXPECT_EQ(selection, "C:\\?a.txt");
  EXPECT_EQ(selection_from_answer("bare.txt", selection), 1);
  EXPECT_EQ(selection, "\\?bare.txt");
  // No trimming on this path: the blanks stay where they are.
  EXPECT_EQ(selection_from_answer(" C:\\x\\y.z ", selection), 1);
  EXPECT_EQ(selection, " C:\\x\\?y.z ");
}

TEST(SelectionFromAnswer, FolderAndNamesBecomeQuestionMarkList) {
  std::string selection;
  EXPECT_EQ(selection_from_answer("C:\\Data\0a.txt\0b.txt"s, selection), 2);
  EXPECT_EQ(selection, "C:\\Data\\?a.txt?b.txt");
  // A folder that already ends in "\" gets no second one.
  EXPECT_EQ(selection_from_answer("C:\\\0a\0b\0c"s, selection), 3);
  EXPECT_EQ(selection, "C:\\?a?b?c");
}

TEST(GetMultipleFiles, RequestCarriesTheFixedTitleFilterNameAndFlags) {
  const FileDialogPlatform& platform = fake_platform();
  std::string selection = "old";
  EXPECT_EQ(GETMULTIPLEFILES(platform, 9, "", selection), 0);
  const FileDialogRequest& seen = fake_dialog().request;
  EXPECT_EQ(fake_dialog().kind, FileDialogKind::kOpen);
  EXPECT_EQ(seen.owner, 9u);
  EXPECT_EQ(seen.title, "Add file(s)");
  EXPECT_EQ(seen.file_buffer, "*.*"s + std::string(16380, '\0'));
  EXPECT_EQ(seen.file_title_size, 256u);
  EXPECT_EQ(seen.initial_folder, "C:\\Work");
  EXPECT_EQ(seen.default_extension, "");
  EXPECT_TRUE(seen.always_pass_extension);
  EXPECT_EQ(seen.flags, 0x80000u | 0x200u | 0x800000u | 0x1000u | 0x100000u | 0x4u);
  EXPECT_EQ(seen.filter_list,
            "All Files  (*.*)\0*.*\0Data files  (*.DAT, *.INI)\0*.DAT;*.INI\0"
            "System files  (*.EXE, *.DLL)\0*.EXE;*.DLL\0Text files  (*.DIZ, *.TXT)\0"
            "*.DIZ;*.TXT\0\0\0"s);
}

TEST(GetMultipleFiles, CancelLeavesSelectionAndOwnerListAlone) {
  const FileDialogPlatform& platform = fake_platform();
  std::string selection = "old";
  EXPECT_EQ(GETMULTIPLEFILES(platform, 9, "D:\\Start", selection), 0);
  EXPECT_EQ(selection, "old");
  EXPECT_TRUE(fake_dialog().cleared_owners.empty());
  EXPECT_EQ(fake_dialog().request.initial_folder, "D:\\Start");
}

TEST(GetMultipleFiles, ConfirmedPickCountsFilesAndClearsOwnerList) {
  const FileDialogPlatform& platform = fake_platform();
  fake_dialog().result = 1;
  fake_dialog().answer = "C:\\Data\0a.txt\0b.txt\0\0"s;
  std::string selection;
  EXPECT_EQ(GETMULTIPLEFILES(platform, 42, "", selection), 2);
  EXPECT_EQ(selection, "C:\\Data\\?a.txt?b.txt");
  ASSERT_EQ(fake_dialog().cleared_owners.size(), 1u);
  EXPECT_EQ(fake_dialog().cleared_owners[0], 42u);
}

TEST(GetMultipleFiles, AFolderItsFieldWouldCutIsTreatedAsEmpty) {
  const FileDialogPlatform& platform = fake_platform();
  std::string selection;
  GETMULTIPLEFILES(platform, 0, std::string(255, 'd'), selection);
  EXPECT_EQ(fake_dialog().request.initial_folder, std::string(255, 'd')) << "fits its field";
  for (const std::size_t size : {256, 257, 300}) {
    GETMULTIPLEFILES(platform, 0, std::string(size, 'd'), selection);
    EXPECT_EQ(fake_dialog().request.initial_folder, "C:\\Work") << size << " bytes, never cut";
  }
}

TEST(PathParts, SplitAtLastBackslashAfterTrimming) {
  EXPECT_EQ(NAMEPART(" C:\\x\\y.z "), "y.z");
  EXPECT_EQ(PATHPART(" C:\\x\\y.z "), "C:\\x\\");
  EXPECT_EQ(PATHPART("name.txt"), "\\");
  EXPECT_EQ(NAMEPART("  name.txt "), "name.txt");
  EXPECT_EQ(PATHPART("C:\\"), "C:\\");
  EXPECT_EQ(NAMEPART("C:\\"), "");
}

}  // namespace
}  // namespace sw
