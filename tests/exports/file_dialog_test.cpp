#include "exports/file_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/exports/fake_file_dialog.h"

namespace sw {
namespace {

using namespace std::string_literals;
using test::fake_dialog;
using test::fake_platform;

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

TEST(FilterList, BarsBecomeNulsAndTwoNulsCloseTheList) {
  EXPECT_EQ(filter_list("All Files (*.*)|*.*"), "All Files (*.*)\0*.*\0\0"s);
  EXPECT_EQ(filter_list(""), "\0\0"s);
  EXPECT_EQ(filter_list("A|*.a;*.b|"), "A\0*.a;*.b\0\0\0"s);
}

TEST(OpenFileBuffer, EmptyNameIsANulAnd8191Blanks) {
  EXPECT_EQ(open_file_buffer(""), "\0"s + blanks(8191));
}

TEST(OpenFileBuffer, NameIsFollowedByNulAndFilledTo8192) {
  EXPECT_EQ(open_file_buffer("a.txt"), "a.txt\0"s + blanks(8186));
}

TEST(OpenFileBuffer, NameWithNulKeepsBytesUpToThatNul) {
  EXPECT_EQ(open_file_buffer("ab\0cd"s), "ab\0"s + blanks(8189));
}

TEST(OpenFileBuffer, OverlongNameIsKeptWholeWithItsNul) {
  const std::string name(9000, 'x');
  EXPECT_EQ(open_file_buffer(name), name + '\0');
}

TEST(SaveFileBuffer, TenByteNameGives261Bytes) {
  EXPECT_EQ(save_file_buffer("0123456789"), "0123456789\0"s + blanks(250));
}

TEST(SaveFileBuffer, NameIsCutTo260BytesBeforeTheNul) {
  const std::string name = std::string(260, 'a') + std::string(40, 'b');
  EXPECT_EQ(save_file_buffer(name), std::string(260, 'a') + '\0');
}

TEST(SaveFileBuffer, NameWithNulGives260Bytes) {
  EXPECT_EQ(save_file_buffer("abcd\0ef"s), "abcd\0"s + blanks(255));
  // A NUL beyond the 260th byte is cut away with the rest and does not count.
  const std::string late_nul = std::string(280, 'a') + '\0';
  EXPECT_EQ(save_file_buffer(late_nul).size(), 261u);
}

TEST(AnswerCutting, OpenCutsAtLastNulSaveAtFirst) {
  const std::string buffer = "C:\\a\0rest\0   "s;
  EXPECT_EQ(before_last_nul(buffer), "C:\\a\0rest"s);
  EXPECT_EQ(before_first_nul(buffer), "C:\\a");
  EXPECT_EQ(before_last_nul("no nul here"), "");
  EXPECT_EQ(before_first_nul("no nul here"), "");
}

TEST(RunOpenDialog, FillsTheRequestAndReturnsThePlatformsAnswer) {
  const FileDialogPlatform& platform = fake_platform();
  fake_dialog().result = 1;
  fake_dialog().answer = "C:\\Data\\x.txt\0"s;
  fake_dialog().change_flags = true;
  fake_dialog().flags_out = 0x1234;
  std::string name;
  std::uint32_t flags = kShowDialogFlags;
  EXPECT_EQ(RUNOPENDIALOG(platform, 77, "Pick", name, "D:\\In", "T|*.t", "TXT", flags), 1);

  const FileDialogRequest& seen = fake_dialog().request;
  EXPECT_EQ(fake_dialog().kind, FileDialogKind::kOpen);
  EXPECT_EQ(seen.owner, 77u);
  EXPECT_EQ(seen.filter_list, "T\0*.t\0\0"s);
  EXPECT_EQ(seen.file_buffer.size(), 8192u);
  EXPECT_EQ(seen.file_title_size, 260u);
  EXPECT_EQ(seen.initial_folder, "D:\\In");
  EXPECT_EQ(seen.title, "Pick");
  EXPECT_EQ(seen.default_extension, "TXT");
  EXPECT_FALSE(seen.always_pass_extension);
  EXPECT_EQ(seen.flags, kShowDialogFlags);
  EXPECT_EQ(name, "C:\\Data\\x.txt");
  EXPECT_EQ(flags, 0x1234u);
}

TEST(RunOpenDialog, EmptyOrOverlongFolderMeansCurrentDirectoryButBlanksAreKept) {
  const FileDialogPlatform& platform = fake_platform();
  // 257 bytes: room left for the backslash and a one-byte name the dialog adds.
  const std::string longest = "D:\\" + std::string(254, 'x');
  const struct {
    std::string given, shown;
  } cases[] = {{"", "C:\\Work"},
               {"  ", "  "},
               {longest, longest},
               // 258 bytes crashed the system's dialog; never cut to another folder either.
               {longest + "y", "C:\\Work"},
               {std::string(100000, 'z'), "C:\\Work"}};
  for (const auto& c : cases) {
    std::string name;
    std::uint32_t flags = 0;
    RUNOPENDIALOG(platform, 0, "", name, c.given, "", "", flags);
    EXPECT_EQ(fake_dialog().request.initial_folder, c.shown) << c.given.size();
    RUNSAVEDIALOG(platform, 0, "", name, c.given, "", "", flags);
    EXPECT_EQ(fake_dialog().request.initial_folder, c.shown) << c.given.size();
  }
  std::string filter, folder = longest + "y";
  SHOWSAVE(platform, 0, filter, "", folder);
  EXPECT_EQ(fake_dialog().request.initial_folder, "C:\\Work");
  EXPECT_EQ(folder, longest + "y");  // the caller's variable keeps its folder

  // A current directory as long is no start either: the dialog picks its own.
  fake_dialog().current_directory = longest + "y";
  std::string name;
  std::uint32_t flags = 0;
  RUNOPENDIALOG(platform, 0, "", name, "", "", "", flags);
  EXPECT_EQ(fake_dialog().request.initial_folder, "");
}

TEST(RunOpenDialog, ShorterAnswerThanInitialNameKeepsTheTailUpToTheLastNul) {
  // The platform writes "a.b" and its NUL over "longname.txt"; the old NUL is still the last.
  const FileDialogPlatform& platform = fake_platform();
  fake_dialog().result = 1;
  fake_dialog().answer = "a.b\0"s;
  std::string name = "longname.txt";
  std::uint32_t flags = 0;
  RUNOPENDIALOG(platform, 0, "", name, "", "", "", flags);
  EXPECT_EQ(name, "a.b\0name.txt"s);
}

TEST(RunSaveDialog, CutsTheAnswerAtItsFirstNul) {
  const FileDialogPlatform& platform = fake_platform();
  fake_dialog().result = 1;
  fake_dialog().answer = "a.b\0"s;
  std::string name = "longname.txt";
  std::uint32_t flags = 0;
  EXPECT_EQ(RUNSAVEDIALOG(platform, 0, "", name, "", "", "", flags), 1);
  EXPECT_EQ(fake_dialog().kind, FileDialogKind::kSave);
  EXPECT_EQ(fake_dialog().request.file_buffer, "longname.txt\0"s + blanks(248));
  EXPECT_EQ(name, "a.b");
}

TEST(ShowOpen, EmptyFilterAndFolderAreFilledInTheCallersVariables) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter;
  std::string folder;
  EXPECT_EQ(SHOWOPEN(platform, 5, filter, "Title", folder), "");
  EXPECT_EQ(filter, "All Files (*.*)|*.*");
  EXPECT_EQ(folder, "C:\\Work");
  const FileDialogRequest& seen = fake_dialog().request;
  EXPECT_EQ(seen.filter_list, "All Files (*.*)\0*.*\0\0"s);
  EXPECT_EQ(seen.initial_folder, "C:\\Work");
  EXPECT_EQ(seen.file_buffer, "\0"s + blanks(8191));
  EXPECT_EQ(seen.default_extension, "TXT");
  EXPECT_EQ(seen.flags, kShowDialogFlags);
  EXPECT_EQ(seen.owner, 5u);
  EXPECT_EQ(seen.title, "Title");
}

TEST(ShowOpen, BlankFilterKeepsItsBlanksAndBlankFolderIsReplaced) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter = "  ";
  std::string folder = "   ";
  SHOWOPEN(platform, 0, filter, "", folder);
  EXPECT_EQ(filter, "  All Files (*.*)|*.*");
  EXPECT_EQ(folder, "C:\\Work");
}

TEST(ShowOpen, GivenFilterAndFolderPassUnchanged) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter = "Text|*.txt";
  std::string folder = " D:\\x ";
  fake_dialog().result = 1;
  fake_dialog().answer = "D:\\x\\a.txt\0"s;
  EXPECT_EQ(SHOWOPEN(platform, 0, filter, "", folder), "D:\\x\\a.txt");
  EXPECT_EQ(filter, "Text|*.txt");
  EXPECT_EQ(folder, " D:\\x ");
  EXPECT_EQ(fake_dialog().request.initial_folder, " D:\\x ");
}

TEST(ShowSave, SaveDialogWithoutExtensionAndWithOverwritePrompt) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter;
  std::string folder;
  fake_dialog().result = 1;
  fake_dialog().answer = "C:\\Work\\new.txt\0"s;
  EXPECT_EQ(SHOWSAVE(platform, 0, filter, "", folder), "C:\\Work\\new.txt");
  EXPECT_EQ(fake_dialog().kind, FileDialogKind::kSave);
  EXPECT_EQ(fake_dialog().request.default_extension, "");
  EXPECT_EQ(fake_dialog().request.flags, kShowDialogFlags);
  static_assert((kShowDialogFlags & kOfnOverwritePrompt) != 0, "SHOWSAVE asks before overwriting");
  EXPECT_EQ(fake_dialog().request.file_buffer, "\0"s + blanks(260));
}

TEST(ShowSaveB, OnlyDifferenceIsTheMissingOverwritePrompt) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter;
  std::string folder;
  SHOWSAVEB(platform, 0, filter, "", folder);
  EXPECT_EQ(fake_dialog().kind, FileDialogKind::kSave);
  EXPECT_EQ(fake_dialog().request.flags, kShowDialogFlags & ~kOfnOverwritePrompt);
  EXPECT_EQ(filter, "All Files (*.*)|*.*");
}

TEST(ShowSaveA, InitialNameGoesIntoThe261ByteBuffer) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter;
  std::string name = "report.txt";
  std::string folder;
  fake_dialog().result = 1;
  fake_dialog().answer = "C:\\Work\\other.txt\0"s;
  EXPECT_EQ(SHOWSAVEA(platform, 0, filter, name, "", folder), "C:\\Work\\other.txt");
  EXPECT_EQ(fake_dialog().request.file_buffer, "report.txt\0"s + blanks(250));
  EXPECT_EQ(fake_dialog().request.flags, kShowDialogFlags);
  EXPECT_EQ(name, "C:\\Work\\other.txt");
}

TEST(ShowSaveA, CancelStillCutsTheCallersName) {
  const FileDialogPlatform& platform = fake_platform();
  std::string filter;
  std::string folder;
  std::string long_name = std::string(260, 'n') + "tail-beyond-260";
  EXPECT_EQ(SHOWSAVEA(platform, 0, filter, long_name, "", folder), "");
  EXPECT_EQ(long_name, std::string(260, 'n'));

  std::string with_nul = "ab\0cd"s;
  EXPECT_EQ(SHOWSAVEA(platform, 0, filter, with_nul, "", folder), "");
  EXPECT_EQ(with_nul, "ab");
}

}  // namespace
}  // namespace sw
