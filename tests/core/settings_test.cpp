#include "core/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fs_fault.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::TempFolder;

std::string record_text(const Settings& s) {
  return std::string(s.record().data(), 256);
}

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { settings.set_start_folder(dir.folder_path()); }
  std::string file() const { return dir.file("Checksum.def"); }
  TempFolder dir;
  Settings settings;
};

TEST(StartFolder, OneSeparatorAndOnlyTheLastPairCollapsed) {
  EXPECT_EQ(start_folder_from("C:\\Tools", '\\'), "C:\\Tools\\");
  EXPECT_EQ(start_folder_from("C:\\", '\\'), "C:\\");
  EXPECT_EQ(start_folder_from("\\\\server\\share", '\\'), "\\\\server\\share\\");
  EXPECT_EQ(start_folder_from("/", '/'), "/");
  EXPECT_EQ(start_folder_from("/home/u", '/'), "/home/u/");
}

TEST_F(SettingsTest, NoFileMeansNothingRemembered) {
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "");
  EXPECT_EQ(record_text(settings), std::string(256, '\0'));
}

TEST_F(SettingsTest, RememberedFolderStopsAtNulAndDropsBlanks) {
  test::write_bytes(file(), std::string(256, '\0'));
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "");
  test::write_bytes(file(), std::string(256, ' '));
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "");
  test::write_bytes(file(), "  D:\\Work  " + std::string(245, '\0'));
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "D:\\Work");
  test::write_bytes(file(), "\tD:\\Tab ");
  Settings fresh;
  fresh.set_start_folder(dir.folder_path());
  fresh.load();
  EXPECT_EQ(fresh.remembered_folder(), "\tD:\\Tab");
}

TEST_F(SettingsTest, ShortFileThenChoiceThenExitRoundTrip) {
  test::write_bytes(file(), "D:\\Work");
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "D:\\Work");
  ASSERT_EQ(settings.save(),
            Settings::Saved::kWritten);  // Exit before any choice: the missing bytes are NUL
  EXPECT_EQ(test::read_bytes(file()), "D:\\Work" + std::string(249, '\0'));
  settings.store_folder("  E:\\Data ");
  ASSERT_EQ(settings.save(), Settings::Saved::kWritten);
  EXPECT_EQ(test::read_bytes(file()), "E:\\Data" + std::string(249, ' '));
}

// A folder longer than the record is not remembered cut short, which would name another folder:
// the record keeps the one it had. One that fills it exactly is kept whole.
TEST_F(SettingsTest, LongFilesKeepTheirTailAndFoldersLongerThanTheRecordAreNotCut) {
  const std::string tail(44, 'T');
  test::write_bytes(file(), std::string(256, 'x') + tail);
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), std::string(256, 'x'));
  const std::string exact = "C:\\" + std::string(253, 'e');
  EXPECT_TRUE(settings.store_folder(exact));
  EXPECT_FALSE(settings.store_folder("C:\\" + std::string(254, 'p')));
  EXPECT_EQ(settings.remembered_folder(), exact);
  ASSERT_EQ(settings.save(), Settings::Saved::kWritten);
  EXPECT_EQ(test::read_bytes(file()), exact + tail);
}

// Exit at the first start, before any choice: the file made is a whole record that the next start
// reads as nothing remembered, so its browser starts at the default.
TEST_F(SettingsTest, ExitBeforeAnyChoiceLeavesARecordThatRemembersNothing) {
  ASSERT_EQ(settings.save(), Settings::Saved::kWritten);
  EXPECT_EQ(test::read_bytes(file()).size(), kSettingsRecordSize);
  Settings next;
  next.set_start_folder(dir.folder_path());
  next.load();
  EXPECT_EQ(next.remembered_folder(), "");
}

TEST_F(SettingsTest, ReadOnlyStartFolderIsNeverWrittenButTheRecordRemembers) {
  test::FsOverride fault;
  fault.ops().folder_is_read_only = [](fs::Handle) { return true; };
  settings.store_folder("D:\\Chosen");
  EXPECT_EQ(settings.save(), Settings::Saved::kReadOnlyFolder);
  EXPECT_FALSE(test::exists(file()));
  EXPECT_EQ(settings.remembered_folder(), "D:\\Chosen");
}

TEST_F(SettingsTest, FolderNamedLikeTheFileCountsAsAbsentAndCannotBeSaved) {
  std::filesystem::create_directory(dir.path() / "Checksum.def");
  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "");
  fs::SysError why;
  EXPECT_EQ(settings.save(&why), Settings::Saved::kFailed);
  EXPECT_FALSE(why.message.empty());  // the reason reaches whoever reports it
}

}  // namespace
}  // namespace sw
