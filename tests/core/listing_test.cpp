#include "core/listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_crc.h"
#include "core/line_reader.h"
#include "core/text.h"
#include "tests/support/crc_forge.h"
#include "tests/support/fs_fault.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sw {
namespace {

using test::TempFolder;
using test::write_bytes;

std::string header(const std::string& folder) {
  return "File CRCs For Folder:\r\n" + folder + "\r\n-----------------------------------------\r\n";
}

// Entry lines in sorted order: the enumeration order is the file system's own.
std::vector<std::string> entry_lines(const std::string& listing) {
  std::string_view rest = listing;
  for (int i = 0; i < 3; ++i) next_line(rest);
  std::vector<std::string> out;
  while (lines_left(rest)) out.emplace_back(next_line(rest));
  std::sort(out.begin(), out.end());
  return out;
}

class RecordingObserver : public ListingObserver {
 public:
  void on_start(std::uint64_t files, std::uint64_t total) override {
    start_files = files;
    start_bytes = total;
  }
  void on_name(std::string_view name) override { names.emplace_back(name); }
  void on_checksum(std::string_view text) override { checksums.emplace_back(text); }
  void on_unreadable(const std::string& path, const fs::SysError&) override {
    unreadable.push_back(path);
  }
  void on_file_finished() override { ++finished; }
  void on_bytes(std::uint64_t count) override { bytes += count; }

  std::uint64_t start_files = 0, start_bytes = 0, bytes = 0;
  int finished = 0;
  std::vector<std::string> names, checksums, unreadable;
};

TEST(Listing, EmptyFolderAndFolderOfSubfoldersGiveTheHeaderOnly) {
  TempFolder dir;
  const Listing empty = BUILDCRCLIST(dir.folder_path());
  EXPECT_EQ(empty.text, header(dir.folder_path()));
  EXPECT_EQ(empty.files_listed, 0u);

  std::filesystem::create_directory(dir.path() / "sub");
  write_bytes(dir.file("sub/inner.txt"), "hidden away");
  RecordingObserver seen;
  const Listing subs = BUILDCRCLIST(dir.folder_path(), &seen);
  EXPECT_EQ(subs.text, header(dir.folder_path()));
  EXPECT_TRUE(seen.names.empty());  // subfolders never reach the name notification
}

TEST(Listing, NameColumnRuleAndChecksumTexts) {
  TempFolder dir;
  const std::string name10 = "ten_bytes_";                          // 10
  const std::string name40 = std::string(36, 'f') + ".txt";         // 40
  const std::string name41 = std::string(37, 'g') + ".txt";         // 41
  write_bytes(dir.file(name10), test::with_crc("a", 0));            // checksum "0"
  write_bytes(dir.file(name40), test::with_crc("b", 0x00012345u));  // short text
  write_bytes(dir.file(name41), test::with_crc("c", 0xABCDEF01u));
  const Listing listing = BUILDCRCLIST(dir.folder_path());
  EXPECT_EQ(listing.text.substr(0, header(dir.folder_path()).size()), header(dir.folder_path()));
  std::vector<std::string> expected = {
      name10 + std::string(30, ' ') + "0",
      name40 + " " + "12345",
      name41.substr(0, 40) + "ABCDEF01",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entry_lines(listing.text), expected);
  EXPECT_EQ(listing.files_listed, 3u);
}

TEST(Listing, ZeroByteFilesAreNamedButNotListed) {
  TempFolder dir;
  write_bytes(dir.file("empty.bin"), "");
  RecordingObserver seen;
  const Listing listing = BUILDCRCLIST(dir.folder_path(), &seen);
  EXPECT_EQ(listing.text, header(dir.folder_path()));
  EXPECT_EQ(seen.names, std::vector<std::string>{"empty.bin"});
  EXPECT_TRUE(seen.checksums.empty());
  EXPECT_EQ(seen.finished, 1);
}

TEST(Listing, ProgressCountsFilesAndBytes) {
  TempFolder dir;
  write_bytes(dir.file("a"), std::string(1000, 'a'));
  write_bytes(dir.file("b"), std::string(3000, 'b'));
  RecordingObserver seen;
  const Listing listing = BUILDCRCLIST(dir.folder_path(), &seen);
  EXPECT_EQ(seen.start_files, 2u);
  EXPECT_EQ(seen.start_bytes, 4000u);
  EXPECT_EQ(seen.bytes, 4000u);
  EXPECT_EQ(listing.bytes, 4000u);
  EXPECT_EQ(seen.checksums.size(), 2u);
}

TEST(Listing, NamesWithBlanksAreChecksummedAsEnumerated) {
  TempFolder dir;
  write_bytes(dir.file(" lead"), "123456789");
  write_bytes(dir.file("lead"), "other content");  // the trimmed name must not be read instead
#ifndef _WIN32
  write_bytes(dir.file("trail "), "123456789");
#endif
  RecordingObserver seen;
  const Listing listing = BUILDCRCLIST(dir.folder_path(), &seen);
  const auto lines = entry_lines(listing.text);
  const std::string lead = "lead" + std::string(36, ' ');
  EXPECT_NE(std::count(lines.begin(), lines.end(), lead + "CBF43926"), 0);
#ifndef _WIN32
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "trail" + std::string(35, ' ') + "CBF43926"), 1);
#endif
  EXPECT_NE(std::find(seen.names.begin(), seen.names.end(), "lead"), seen.names.end());
}

TEST(Listing, DotFilesAreListedLikeAnyOther) {
  TempFolder dir;
  write_bytes(dir.file(".hidden"), "123456789");
  EXPECT_EQ(entry_lines(BUILDCRCLIST(dir.folder_path()).text),
            std::vector<std::string>{".hidden" + std::string(33, ' ') + "CBF43926"});
}

TEST(Listing, AnEarlierListingIsListedWithItsOwnChecksum) {
  TempFolder dir;
  write_bytes(dir.file("File CRCs.TXT"), "123456789");
  const Listing listing = BUILDCRCLIST(dir.folder_path());
  EXPECT_EQ(entry_lines(listing.text),
            std::vector<std::string>{"File CRCs.TXT" + std::string(27, ' ') + "CBF43926"});
}

TEST(Listing, UnreadableFileIsListedAsZeroAndReported) {
  TempFolder dir;
  write_bytes(dir.file("locked"), "content");
  test::FsOverride fault;
  fault.ops().open_read = [](const std::string&, fs::Handle*, fs::SysError* err) {
    return test::inject(err, "held by another process");
  };
  RecordingObserver seen;
  const Listing listing = BUILDCRCLIST(dir.folder_path(), &seen);
  EXPECT_EQ(entry_lines(listing.text),
            std::vector<std::string>{"locked" + std::string(34, ' ') + "0"});
  ASSERT_EQ(listing.unreadable.size(), 1u);
  EXPECT_EQ(listing.unreadable[0].path, dir.file("locked"));
  EXPECT_EQ(listing.unreadable[0].error.message, "held by another process");
  EXPECT_EQ(seen.unreadable, std::vector<std::string>{dir.file("locked")});
}

TEST(Listing, FolderThatCannotBeEnumeratedGivesTheHeaderOnly) {
  TempFolder dir;
  const std::string gone = dir.folder_path() + "missing" + fs::separator();
  const Listing listing = BUILDCRCLIST(gone);
  EXPECT_EQ(listing.text, header(gone));
  EXPECT_FALSE(listing.enumerated);
  EXPECT_FALSE(listing.enumerate_error.message.empty());
}

#ifndef _WIN32
TEST(FolderPath, OneClosingSlashAndTheNameKeptAsGiven) {
  EXPECT_EQ(fs::folder_path("/data"), "/data/");
  EXPECT_EQ(fs::folder_path("/data/"), "/data/");
  EXPECT_EQ(fs::folder_path("/"), "/");
  EXPECT_EQ(fs::folder_path(" odd name "), " odd name /");  // blanks are part of POSIX names
}
#endif

#ifndef _WIN32
TEST(Listing, OnlyRegularFilesAreListedAndSpecialFilesAreNeverOpened) {
  TempFolder dir;
  write_bytes(dir.file("real"), "123456789");
  std::filesystem::create_symlink(dir.file("real"), dir.file("link"));
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);  // opening it would block
  RecordingObserver seen;
  const Listing listing = BUILDCRCLIST(dir.folder_path(), &seen);
  const std::string pad4 = std::string(36, ' ');
  EXPECT_EQ(entry_lines(listing.text),
            (std::vector<std::string>{"link" + pad4 + "CBF43926", "real" + pad4 + "CBF43926"}));
  EXPECT_TRUE(seen.unreadable.empty());
}
#endif

#ifndef _WIN32
TEST(Listing, FileOfExactlyFourGibibytesIsListedWithItsTrueChecksum) {
  // Its size's low 32 bits are 0: only the full 64-bit size gets it listed.
  TempFolder dir;
  const std::uint64_t size = 1ull << 32;
  write_bytes(dir.file("huge"), "");
  ASSERT_EQ(::truncate(dir.file("huge").c_str(), static_cast<off_t>(size)), 0);
  std::vector<std::uint8_t> zeros(1 << 20, 0);
  std::uint32_t crc = kCrcInitial;
  for (std::uint64_t done = 0; done < size; done += zeros.size())
    crc = CRCUPDATE(zeros.data(), zeros.size(), crc);
  const Listing listing = BUILDCRCLIST(dir.folder_path());
  EXPECT_EQ(entry_lines(listing.text), std::vector<std::string>{"huge" + std::string(36, ' ') +
                                                                checksum_text(crc ^ kCrcFinalXor)});
  EXPECT_EQ(listing.bytes, size);
  EXPECT_EQ(FILELEN(dir.file("huge").c_str()), 0);  // the exported contract stays 32-bit
}
#endif

TEST(FileCrc, WholeContentInPiecesAndNoSideEffects) {
  TempFolder dir;
  std::string content(3 * ReadBuffer::kDefaultSize + 123, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + 7);
  write_bytes(dir.file("big"), content);
  EXPECT_EQ(FILECRC(dir.file("big")), checksum_text(crc32_of(content.data(), content.size())));
  EXPECT_EQ(test::read_bytes(dir.file("big")), content);

  EXPECT_EQ(FILECRC(dir.file("missing")), "0");
  EXPECT_FALSE(test::exists(dir.file("missing")));  // nothing is ever created

  write_bytes(dir.file("empty"), "");
  EXPECT_EQ(FILECRC(dir.file("empty")), "0");
}

TEST(FileCrc, ReadOnlyFileGetsItsTrueChecksum) {
  TempFolder dir;
  write_bytes(dir.file("ro"), "123456789");
  std::filesystem::permissions(
      dir.path() / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_EQ(FILECRC(dir.file("ro")), "CBF43926");
}

TEST(FileCrc, AReadFailurePartWayGivesZeroNotAPartialValue) {
  TempFolder dir;
  write_bytes(dir.file("f"), std::string(2 * ReadBuffer::kDefaultSize, 'x'));
  test::FsOverride fault;
  static int calls;
  calls = 0;
  fault.ops().read = [](fs::Handle h, void* buf, std::size_t n, std::size_t* got,
                        fs::SysError* err) {
    if (++calls == 2) return test::inject(err, "I/O error");
    return fs::platform_ops().read(h, buf, n, got, err);
  };
  ReadBuffer buffer;
  const FileChecksum sum = checksum_file(dir.file("f"), buffer);
  EXPECT_FALSE(sum.readable);
  EXPECT_EQ(sum.crc, 0u);
  EXPECT_EQ(sum.error.message, "I/O error");
}

TEST(FileLen, LowThirtyTwoBitsOfTheSize) {
  TempFolder dir;
  write_bytes(dir.file("five"), "12345");
  write_bytes(dir.file("zero"), "");
  EXPECT_EQ(FILELEN(dir.file("five").c_str()), 5);
  EXPECT_EQ(FILELEN(dir.file("zero").c_str()), 0);
  EXPECT_EQ(FILELEN(dir.file("missing").c_str()), -1);
  EXPECT_EQ(FILELEN(nullptr), -1);

  test::FsOverride fault;
  fault.ops().find_first_size = [](const char*, std::uint64_t* size) {
    *size = 0x1'8000'0005ull;  // 6 GiB and a bit: only the low 32 bits, read as signed
    return true;
  };
  EXPECT_EQ(FILELEN("anything"), static_cast<std::int32_t>(0x80000005u));
}

}  // namespace
}  // namespace sw
