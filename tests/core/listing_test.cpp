#include "core/listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/compare.h"
#include "core/crc/crc32.h"
#include "core/file_crc.h"
#include "core/line_reader.h"
#include "core/save_text.h"
#include "core/text.h"
#include "tests/support/crc_forge.h"
#include "tests/support/fs_fault.h"
#include "tests/support/product_road.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
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
std::vector<std::string> entry_lines(std::string_view listing) {
  std::string_view rest = listing;
  for (int i = 0; i < 3; ++i) next_line(rest);
  std::vector<std::string> out;
  while (lines_left(rest)) out.emplace_back(next_line(rest));
  std::sort(out.begin(), out.end());
  return out;
}

class RecordingObserver : public ListingObserver {
 public:
  explicit RecordingObserver(bool want_totals = true) : totals(want_totals) {}
  bool wants_byte_totals() const override { return totals; }
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

  bool totals;
  std::uint64_t start_files = 0, start_bytes = 0, bytes = 0;
  int finished = 0;
  std::vector<std::string> names, checksums, unreadable;
};

TEST(Listing, EmptyFolderAndFolderOfSubfoldersGiveTheHeaderOnly) {
  TempFolder dir;
  const Listing empty = test::list(dir.folder_path());
  EXPECT_EQ(std::string_view(empty.text), header(dir.folder_path()));
  EXPECT_EQ(empty.files_listed, 0u);

  std::filesystem::create_directory(dir.path() / "sub");
  write_bytes(dir.file("sub/inner.txt"), "hidden away");
  RecordingObserver seen;
  const Listing subs = test::list(dir.folder_path(), &seen);
  EXPECT_EQ(std::string_view(subs.text), header(dir.folder_path()));
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
  const Listing listing = test::list(dir.folder_path());
  EXPECT_EQ(std::string_view(listing.text).substr(0, header(dir.folder_path()).size()),
            header(dir.folder_path()));
  std::vector<std::string> expected = {
      name10 + std::string(30, ' ') + "0",
      name40 + " " + "12345",
      name41.substr(0, 40) + "ABCDEF01",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entry_lines(listing.text), expected);
  EXPECT_EQ(listing.files_listed, 3u);
}

// Files whose open is refused, as when another process holds them.
bool refusing_locked_files(fs::Handle folder, const std::string& name, fs::FileFacts* size,
                           fs::Handle* out, fs::SysError* err) {
  if (name.starts_with("locked")) return test::inject(err, "held by another process");
  return fs::platform_ops().open_read(folder, name, size, out, err);
}

TEST(Listing, ZeroByteFilesAreNamedButNotListedWhetherOrNotSizesCameBeforeReading) {
  TempFolder dir;
  for (const char* name : {"empty.bin", "locked_empty"}) write_bytes(dir.file(name), "");
  write_bytes(dir.file("full"), "123456789");
  write_bytes(dir.file("locked_full"), "abc");
  test::FsOverride fault;
  fault.ops().open_read = refusing_locked_files;
  for (const bool totals : {true, false}) {
    RecordingObserver seen(totals);
    const Listing listing = test::list(dir.folder_path(), &seen);
    EXPECT_EQ(entry_lines(listing.text),
              (std::vector<std::string>{"full" + std::string(36, ' ') + "CBF43926",
                                        "locked_full" + std::string(29, ' ') + "0"}));
    std::sort(seen.names.begin(), seen.names.end());
    EXPECT_EQ(seen.names,
              (std::vector<std::string>{"empty.bin", "full", "locked_empty", "locked_full"}));
    EXPECT_EQ(seen.unreadable, std::vector<std::string>{dir.file("locked_full")});
    EXPECT_EQ(seen.checksums.size(), 2u);
    EXPECT_EQ(seen.finished, 4);
    EXPECT_EQ(seen.start_files, 4u);
    // Sizes the platform gives for nothing may arrive unasked (Windows); asked, they are exact.
    if (totals) {
      EXPECT_EQ(seen.start_bytes, 12u);
    }
    EXPECT_EQ(listing.bytes, 9u);
  }
}

TEST(Listing, ProgressCountsFilesAndBytes) {
  TempFolder dir;
  write_bytes(dir.file("a"), std::string(1000, 'a'));
  write_bytes(dir.file("b"), std::string(3000, 'b'));
  RecordingObserver seen;
  const Listing listing = test::list(dir.folder_path(), &seen);
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
  const Listing listing = test::list(dir.folder_path(), &seen);
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
  EXPECT_EQ(entry_lines(test::list(dir.folder_path()).text),
            std::vector<std::string>{".hidden" + std::string(33, ' ') + "CBF43926"});
}

TEST(Listing, AnEarlierListingIsListedWithItsOwnChecksum) {
  TempFolder dir;
  write_bytes(dir.file("File CRCs.TXT"), "123456789");
  const Listing listing = test::list(dir.folder_path());
  EXPECT_EQ(entry_lines(listing.text),
            std::vector<std::string>{"File CRCs.TXT" + std::string(27, ' ') + "CBF43926"});
}

TEST(Listing, UnreadableFileIsListedAsZeroAndReported) {
  TempFolder dir;
  write_bytes(dir.file("locked"), "content");
  test::FsOverride fault;
  fault.ops().open_read = [](fs::Handle, const std::string&, fs::FileFacts*, fs::Handle*,
                             fs::SysError* err) {
    return test::inject(err, "held by another process");
  };
  RecordingObserver seen;
  const Listing listing = test::list(dir.folder_path(), &seen);
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
  const Listing listing = test::list(gone);
  EXPECT_EQ(std::string_view(listing.text), header(gone));
  EXPECT_FALSE(listing.enumerated);
  EXPECT_FALSE(listing.enumerate_error.message.empty());
}

// The platform's enumeration, failing after its first two entries.
bool enumeration_failing_part_way(fs::Handle folder, bool sizes, fs::DirEntries* out,
                                  fs::SysError* err) {
  fs::platform_ops().list_folder(folder, sizes, out, err);
  std::sort(out->begin(), out->end(),
            [](const fs::DirEntry& a, const fs::DirEntry& b) { return a.name < b.name; });
  out->resize(2);
  return test::inject(err, "network name no longer available");
}

TEST(Listing, EnumerationThatFailsPartWayKeepsWhatItFoundAndSaysSo) {
  TempFolder dir;
  for (const char* name : {"a", "b", "c", "d"}) write_bytes(dir.file(name), "123456789");
  test::FsOverride fault;
  fault.ops().list_folder = enumeration_failing_part_way;
  const Listing listing = test::list(dir.folder_path());
  const std::string pad = std::string(39, ' ');
  EXPECT_EQ(entry_lines(listing.text),
            (std::vector<std::string>{"a" + pad + "CBF43926", "b" + pad + "CBF43926"}));
  EXPECT_FALSE(listing.enumerated);
  EXPECT_EQ(listing.enumerate_error.message, "network name no longer available");
}

// The platform's enumeration with sizes that the files no longer have when they are read.
bool enumeration_with_stale_sizes(fs::Handle folder, bool /*sizes*/, fs::DirEntries* out,
                                  fs::SysError* err) {
  const bool ok = fs::platform_ops().list_folder(folder, true, out, err);
  for (fs::DirEntry& e : *out) {
    if (e.name == "grew") e.size -= 1;
    if (e.name == "shrank") e.size += 1;
  }
  return ok;
}

TEST(Listing, AFileThatChangesWhileItIsReadIsUnreadable) {
  TempFolder dir;
  for (const char* name : {"grew", "shrank", "steady"}) write_bytes(dir.file(name), "123456789");
  test::FsOverride fault;
  fault.ops().list_folder = enumeration_with_stale_sizes;
  const Listing listing = test::list(dir.folder_path());
  EXPECT_EQ(entry_lines(listing.text),
            (std::vector<std::string>{"grew" + std::string(36, ' ') + "0",
                                      "shrank" + std::string(34, ' ') + "0",
                                      "steady" + std::string(34, ' ') + "CBF43926"}));
  ASSERT_EQ(listing.unreadable.size(), 2u);
  for (const UnreadableFile& u : listing.unreadable)
    EXPECT_EQ(u.error.message, kChangedWhileRead) << u.path;
}

#ifndef _WIN32
// Files rewritten in place, at the same size, while they are read (a database, a disk image,
// dd conv=notrunc): after every piece, or once after the second of three, the checksum would be
// of a state that never existed: "Could Not Be Read". Rewritten once after its first piece: where
// its size was known before it was read, that too was during its read; where the open found it
// (and the file system stamps changes by this machine's clock), the one look after that piece
// finds it changed since the open, and it is read again, whole, with the content it then has.
struct Rewrite {
  std::mutex mutex;
  std::map<fs::Handle, int> pieces;  // pieces read, by handle
  std::string folder;
  bool early_done = false;
} g_rewrite;

bool read_then_rewrite(fs::Handle h, void* buffer, std::size_t size, std::size_t* got,
                       fs::SysError* err) {
  if (!fs::platform_ops().read(h, buffer, size, got, err) || *got == 0) return *got == 0;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", static_cast<int>(h));
  const std::string name = std::filesystem::read_symlink(path).filename().string();
  bool rewrite = false;
  int piece = 0;
  {
    const std::lock_guard<std::mutex> lock(g_rewrite.mutex);
    piece = ++g_rewrite.pieces[h];
    rewrite = name == "every" || (name == "late" && piece == 2) ||
              (name == "early" && piece == 1 && !std::exchange(g_rewrite.early_done, true));
  }
  if (rewrite) {
    const int fd = ::open((g_rewrite.folder + name).c_str(), O_WRONLY);
    const std::string bytes(ReadBuffer::kDefaultSize, static_cast<char>('a' + piece));
    const std::size_t length = std::min<std::size_t>(bytes.size(), 100);
    EXPECT_EQ(::pwrite(fd, bytes.data(), length, 0), static_cast<ssize_t>(length));
    ::close(fd);
  }
  return true;
}

void close_and_forget_pieces(fs::Handle h) {
  {
    const std::lock_guard<std::mutex> lock(g_rewrite.mutex);
    g_rewrite.pieces.erase(h);
  }
  fs::platform_ops().close(h);
}

TEST(Listing, AFileRewrittenInPlaceWhileItIsReadIsUnreadable) {
  TempFolder dir;
  g_rewrite.folder = dir.folder_path();
  const std::size_t three = 2 * ReadBuffer::kDefaultSize + 10;
  fs::Folder folder;
  ASSERT_TRUE(folder.open(dir.folder_path(), nullptr));
  const bool by_clock = fs::ops().stamps_by_clock(folder.get());
  for (const bool sizes : {false, true}) {
    SCOPED_TRACE(sizes ? "sizes before reading" : "sizes from the open file");
    write_bytes(dir.file("every"), std::string(100, 'x'));
    write_bytes(dir.file("late"), std::string(three, 'x'));
    write_bytes(dir.file("early"), std::string(three, 'x'));
    write_bytes(dir.file("steady"), std::string(three, 'x'));
    test::FsOverride fault;
    fault.ops().read = read_then_rewrite;
    fault.ops().close = close_and_forget_pieces;
    g_rewrite.early_done = false;
    RecordingObserver seen(sizes);
    const Listing listing = test::list(dir.folder_path(), &seen);
    std::map<std::string, std::string> result;
    for (const UnreadableFile& u : listing.unreadable) {
      EXPECT_EQ(u.error.message, kChangedWhileRead) << u.path;
      result[u.name_column] = "unreadable";
    }
    std::map<std::string, std::string> want = {{"every", "unreadable"}, {"late", "unreadable"}};
    const bool read_again = !sizes && by_clock;
    if (!read_again) want["early"] = "unreadable";
    EXPECT_EQ(result, want);
    // Read again as it then was: a hundred bytes of the rewrite, the rest as before.
    const std::string early = std::string(100, 'b') + std::string(three - 100, 'x');
    const std::string steady(three, 'x');
    std::vector<std::string> lines = entry_lines(listing.text);
    if (read_again) {
      EXPECT_NE(std::find(lines.begin(), lines.end(),
                          "early" + std::string(35, ' ') +
                              checksum_text(crc32_of(early.data(), early.size()))),
                lines.end());
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "steady" + std::string(34, ' ') +
                            checksum_text(crc32_of(steady.data(), steady.size()))),
              lines.end());
  }
}
#endif

TEST(Listing, NamesThatShareTheirLinesNameColumnAreReportedOnce) {
  TempFolder dir;
  const std::string stem(40, 'x');
  std::vector<std::string> names = {stem + "1", stem + "22", "solo", stem};
#ifndef _WIN32
  // Marked, a CR, an LF and a question mark give the same line.
  for (const char* name : {"a\rb", "a\nb", "a?b"}) names.emplace_back(name);
#endif
  for (const std::string& name : names) write_bytes(dir.file(name), "123456789");
  std::vector<std::vector<std::string>> groups = test::list(dir.folder_path()).shared_columns;
  for (auto& group : groups) std::sort(group.begin(), group.end());
  std::sort(groups.begin(), groups.end());
  std::vector<std::vector<std::string>> want = {{stem, stem + "1", stem + "22"}};
#ifndef _WIN32
  want.insert(want.begin(), {"a?b", "a?b", "a?b"});
#endif
  EXPECT_EQ(groups, want);
}

#ifndef _WIN32
TEST(Listing, BytesTheFormatGivesAMeaningAreMarkedSoNoEntryEndsOrSplitsTheFile) {
  TempFolder root;
  const std::string folder = root.folder_path() + "odd\x1A\rfolder/";
  std::filesystem::create_directory(folder);
  const std::vector<std::string> names = {"cr\rname", "lf\nname", "eof\x1Aname", "plain"};
  for (const std::string& name : names) write_bytes(folder + name, "123456789");
  const Listing first = test::list(folder);
  EXPECT_EQ(std::string_view(first.text).substr(0, header(folder).size()),
            header(root.folder_path() + "odd??folder/"));
  const std::string pad = std::string(32, ' ');
  EXPECT_EQ(
      entry_lines(first.text),
      (std::vector<std::string>{"cr?name" + pad + " CBF43926", "eof?name" + pad + "CBF43926",
                                "lf?name" + pad + " CBF43926", "plain" + pad + "   CBF43926"}));

  // Every file changes: each is "CRC Missmatch" in the next run, none lost and none "OK".
  fs::SysError err;
  ASSERT_TRUE(SAVETEXTFILE(folder + "File CRCs.TXT", first.text, &err)) << err.message;
  for (const std::string& name : names) write_bytes(folder + name, "changed");
  const Listing second = test::list(folder);
  const Comparison c = test::compare(folder, second);
  EXPECT_EQ(c.count(Status::kMismatch), names.size());
  EXPECT_EQ(c.count(Status::kOk), 0u);
  EXPECT_EQ(c.count(Status::kNotFound), 0u);
}
#endif

#ifndef _WIN32
TEST(FolderPath, OneClosingSlashAndTheNameKeptAsGiven) {
  EXPECT_EQ(fs::folder_path("/data"), "/data/");
  EXPECT_EQ(fs::folder_path("/data/"), "/data/");
  EXPECT_EQ(fs::folder_path("/"), "/");
  EXPECT_EQ(fs::folder_path(" odd name "), " odd name /");  // blanks are part of POSIX names
}
#endif

#ifndef _WIN32
TEST(Listing, RegularFilesAreListedSpecialFilesNeverOpenedAndBrokenLinksReported) {
  TempFolder dir;
  write_bytes(dir.file("real"), "123456789");
  std::filesystem::create_symlink(dir.file("real"), dir.file("link"));
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);  // opening it would block
  RecordingObserver seen;
  const Listing listing = test::list(dir.folder_path(), &seen);
  const std::string pad8 = std::string(32, ' ');
  const std::string pad4 = std::string(36, ' ');
  EXPECT_EQ(entry_lines(listing.text),
            (std::vector<std::string>{"dangling" + pad8 + "0", "link" + pad4 + "CBF43926",
                                      "real" + pad4 + "CBF43926"}));
  // A link that leads nowhere is a file that could not be read, never a silent gap.
  ASSERT_EQ(listing.unreadable.size(), 1u);
  EXPECT_EQ(listing.unreadable[0].path, dir.file("dangling"));
  EXPECT_NE(listing.unreadable[0].error.message.find("target cannot be reached"),
            std::string::npos);
  EXPECT_EQ(seen.unreadable.size(), 1u);

  // Files that were gone, or were no longer files, by the time they were read: listed as
  // unreadable with the reason, never left out as if they had been empty.
  test::FsOverride fault;
  fault.ops().list_folder = [](fs::Handle folder, bool, fs::DirEntries* out, fs::SysError* err) {
    // As they were enumerated: a file whose size was not asked for.
    for (const char* name : {"pipe", "gone"})
      out->push_back({name, {}, fs::EntryKind::kFile, false, fs::kUnknownSize});
    return fs::platform_ops().list_folder(folder, false, out, err);
  };
  const Listing raced = test::list(dir.folder_path());
  std::vector<std::string> unreadable;
  for (const UnreadableFile& u : raced.unreadable) unreadable.push_back(u.path);
  EXPECT_EQ(unreadable,
            (std::vector<std::string>{dir.file("pipe"), dir.file("gone"), dir.file("dangling")}));
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
  const Listing listing = test::list(dir.folder_path());
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
