// The Win32 file-system layer against the real system (run under Wine in CI): attributes,
// share modes, sizes beyond 32 bits, drive roots and the error mode.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "core/compare.h"
#include "core/file_crc.h"
#include "core/fs.h"
#include "core/listing.h"
#include "core/save_text.h"
#include "core/settings.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::write_bytes;

// "123456789" has the well-known CRC-32 CBF43926.
constexpr std::string_view kCheckBytes = "123456789";
constexpr std::string_view kCheckText = "CBF43926";

void set_attributes(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attributes)) << path;
}

DWORD attributes_of(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

// A second opener of a file, as another program would hold it.
class Holder {
 public:
  Holder(const std::string& path, DWORD access, DWORD share)
      : h_(::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr)) {}
  ~Holder() {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool held() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

const fs::DirEntry* find_entry(const std::vector<fs::DirEntry>& entries, std::string_view name) {
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [name](const fs::DirEntry& e) { return e.name == name; });
  return it == entries.end() ? nullptr : &*it;
}

std::string valid_listing(const std::string& folder) {
  std::string text = "File CRCs For Folder:\r\n" + folder + "\r\n";
  text += std::string(kHeaderRule) + "\r\n";
  append_entry(text, "check.txt", kCheckText);
  return text + "\r\n";
}

TEST(Win32Listing, HiddenAndSystemFilesAreListedFoldersAreNot) {
  TempFolder dir;
  write_bytes(dir.file("plain.txt"), kCheckBytes);
  write_bytes(dir.file("hidden.txt"), "ab");
  write_bytes(dir.file("system.txt"), "abc");
  write_bytes(dir.file("both.txt"), "abcd");
  set_attributes(dir.file("hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
  set_attributes(dir.file("system.txt"), FILE_ATTRIBUTE_SYSTEM);
  set_attributes(dir.file("both.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(::CreateDirectoryA(dir.file("sub").c_str(), nullptr));

  std::vector<fs::DirEntry> entries;
  fs::SysError err;
  ASSERT_TRUE(fs::ops().list_folder(dir.folder_path(), &entries, &err)) << err.message;
  EXPECT_EQ(entries.size(), 5u);  // no "." or ".."
  for (const auto& [name, size] : {std::pair<std::string_view, std::uint64_t>{"plain.txt", 9},
                                   {"hidden.txt", 2},
                                   {"system.txt", 3},
                                   {"both.txt", 4}}) {
    const fs::DirEntry* e = find_entry(entries, name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->kind, fs::EntryKind::kFile) << name;
    EXPECT_EQ(e->size, size) << name;
  }
  const fs::DirEntry* sub = find_entry(entries, "sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->kind, fs::EntryKind::kDirectory);

  const Listing listing = BUILDCRCLIST(dir.folder_path());
  EXPECT_EQ(listing.files_listed, 4u);
  EXPECT_NE(listing.text.find("hidden.txt"), std::string::npos);
  EXPECT_NE(listing.text.find("both.txt"), std::string::npos);
  EXPECT_EQ(listing.text.find("sub"), std::string::npos);
}

TEST(Win32Listing, MissingFolderFailsWithTheSystemsReason) {
  TempFolder dir;
  std::vector<fs::DirEntry> entries;
  fs::SysError err;
  EXPECT_FALSE(fs::ops().list_folder(dir.file("gone") + "\\", &entries, &err));
  EXPECT_NE(err.code, 0);
  EXPECT_FALSE(err.message.empty());
  EXPECT_NE(err.message.back(), '\n');
}

TEST(Win32PlainFile, OnlyVisibleNonSystemFilesArePlain) {
  TempFolder dir;
  for (const char* name : {"plain", "readonly", "hidden", "system"})
    write_bytes(dir.file(name), "x");
  set_attributes(dir.file("readonly"), FILE_ATTRIBUTE_READONLY);
  set_attributes(dir.file("hidden"), FILE_ATTRIBUTE_HIDDEN);
  set_attributes(dir.file("system"), FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(::CreateDirectoryA(dir.file("folder").c_str(), nullptr));

  const fs::Ops& os = fs::ops();
  EXPECT_TRUE(os.is_plain_file(dir.file("plain")));
  EXPECT_TRUE(os.is_plain_file(dir.file("readonly")));
  EXPECT_FALSE(os.is_plain_file(dir.file("hidden")));
  EXPECT_FALSE(os.is_plain_file(dir.file("system")));
  EXPECT_FALSE(os.is_plain_file(dir.file("folder")));
  EXPECT_FALSE(os.is_plain_file(dir.file("missing")));
}

TEST(Win32PlainFile, HiddenOrSystemListingIsNotCompared) {
  TempFolder dir;
  const std::string listing_path = dir.file(kListingFileName);
  write_bytes(listing_path, valid_listing(dir.folder_path()));
  write_bytes(dir.file("check.txt"), kCheckBytes);
  const std::string now = BUILDCRCLIST(dir.folder_path()).text;

  EXPECT_TRUE(COMPARECRCLIST(dir.folder_path(), now).comparable);  // the same file, visible
  set_attributes(listing_path, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(COMPARECRCLIST(dir.folder_path(), now).comparable);
  set_attributes(listing_path, FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FALSE(COMPARECRCLIST(dir.folder_path(), now).comparable);
}

TEST(Win32PlainFile, HiddenSettingsFileIsIgnoredButStillWritten) {
  TempFolder dir;
  Settings settings;
  settings.set_start_folder(dir.folder_path());
  write_bytes(settings.file_path(), "D:\\Work");
  set_attributes(settings.file_path(), FILE_ATTRIBUTE_HIDDEN);

  settings.load();
  EXPECT_EQ(settings.remembered_folder(), "");

  settings.store_folder("E:\\Data");
  EXPECT_TRUE(settings.save());
  const std::string saved = read_bytes(settings.file_path());
  ASSERT_EQ(saved.size(), kSettingsRecordSize);
  EXPECT_EQ(saved.substr(0, 8), "E:\\Data ");
  EXPECT_NE(attributes_of(settings.file_path()) & FILE_ATTRIBUTE_HIDDEN, 0u);

  set_attributes(settings.file_path(), FILE_ATTRIBUTE_NORMAL);
  Settings again;
  again.set_start_folder(dir.folder_path());
  again.load();
  EXPECT_EQ(again.remembered_folder(), "E:\\Data");
}

TEST(Win32ShareModes, FileHeldWithoutSharingIsUnreadable) {
  TempFolder dir;
  const std::string path = dir.file("locked.bin");
  write_bytes(path, kCheckBytes);
  Holder other(path, GENERIC_READ, 0);
  ASSERT_TRUE(other.held());

  ReadBuffer buffer(4096);
  const FileChecksum sum = checksum_file(path, buffer);
  EXPECT_FALSE(sum.readable);
  EXPECT_EQ(sum.crc, 0u);
  EXPECT_EQ(sum.error.code, ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(sum.error.message.empty());
  EXPECT_EQ(FILECRC(path), "0");
}

TEST(Win32ShareModes, FileHeldByAnotherReaderIsReadAlongside) {
  TempFolder dir;
  const std::string path = dir.file("shared.bin");
  write_bytes(path, kCheckBytes);
  Holder other(path, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(other.held());
  EXPECT_EQ(FILECRC(path), kCheckText);
}

TEST(Win32ShareModes, FileHeldByAWriterIsNotReadAlongside) {
  TempFolder dir;
  const std::string path = dir.file("written.bin");
  write_bytes(path, kCheckBytes);
  Holder writer(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(writer.held());
  EXPECT_EQ(FILECRC(path), "0");
}

TEST(Win32ShareModes, ReadingIsExclusiveWhileNobodyElseHasTheFile) {
  TempFolder dir;
  const std::string path = dir.file("busy.bin");
  write_bytes(path, kCheckBytes);
  fs::Handle h = fs::kNoHandle;
  fs::SysError err;
  ASSERT_TRUE(fs::ops().open_read(path, &h, &err)) << err.message;
  // While the layer has it open for exclusive reading, nobody else gets in, not even a reader.
  Holder reader(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_FALSE(reader.held());
  fs::ops().close(h);
  Holder after(path, GENERIC_READ | GENERIC_WRITE, 0);
  EXPECT_TRUE(after.held());  // closed again
}

TEST(Win32ReadOnly, ReadOnlyFileIsChecksummedAndLeftAsItWas) {
  TempFolder dir;
  const std::string path = dir.file("ro.txt");
  write_bytes(path, kCheckBytes);
  set_attributes(path, FILE_ATTRIBUTE_READONLY);
  const DWORD before = attributes_of(path);
  ASSERT_NE(before & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(FILECRC(path), kCheckText);
  EXPECT_EQ(attributes_of(path), before);
  EXPECT_EQ(read_bytes(path), kCheckBytes);
}

TEST(Win32ReadOnly, UpdateOpenFallsBackToReading) {
  TempFolder dir;
  const std::string path = dir.file("ro.def");
  write_bytes(path, "abc");
  set_attributes(path, FILE_ATTRIBUTE_READONLY);
  fs::Handle h = fs::kNoHandle;
  bool writable = true;
  fs::SysError err;
  ASSERT_TRUE(fs::ops().open_update(path, &h, &writable, &err)) << err.message;
  EXPECT_FALSE(writable);
  char buf[8] = {};
  std::size_t got = 0;
  EXPECT_TRUE(fs::ops().read(h, buf, sizeof buf, &got, &err));
  EXPECT_EQ(std::string(buf, got), "abc");
  fs::ops().close(h);
}

TEST(Win32ReadOnly, ReadOnlyStartFolderIsNotWritten) {
  TempFolder dir;
  Settings settings;
  settings.set_start_folder(dir.folder_path());
  EXPECT_FALSE(fs::ops().folder_is_read_only(dir.folder_path()));
  set_attributes(dir.path().string(), FILE_ATTRIBUTE_READONLY);
  if ((attributes_of(dir.path().string()) & FILE_ATTRIBUTE_READONLY) == 0)
    GTEST_SKIP() << "this system keeps no read-only attribute on folders (Wine)";
  EXPECT_TRUE(fs::ops().folder_is_read_only(dir.folder_path()));
  settings.store_folder("C:\\");
  EXPECT_FALSE(settings.save());
  EXPECT_FALSE(test::exists(settings.file_path()));
  set_attributes(dir.path().string(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(fs::ops().folder_is_read_only(dir.file("missing")));
}

TEST(Win32NoCreation, MissingFileChecksumsAsZeroAndStaysMissing) {
  TempFolder dir;
  const std::string path = dir.file("never.txt");
  EXPECT_EQ(FILECRC(path), "0");
  EXPECT_EQ(FILELEN(path.c_str()), -1);
  EXPECT_EQ(attributes_of(path), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FILECRC(dir.file("no folder\\never.txt")), "0");
  EXPECT_EQ(attributes_of(dir.file("no folder")), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32Sizes, SizesBeyondFourGigabytesKeepTheirHighBits) {
  TempFolder dir;
  const std::string path = dir.file("big.bin");
  const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = 0x100000005LL;  // sparse where the file system allows: nothing is written
  ASSERT_TRUE(::SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
  const bool sized = ::SetEndOfFile(h) != 0;
  ::CloseHandle(h);
  if (!sized) GTEST_SKIP() << "no room for a 4 GB file here";

  std::uint64_t size = 0;
  ASSERT_TRUE(fs::ops().find_first_size(path.c_str(), &size));
  EXPECT_EQ(size, 0x100000005ULL);
  EXPECT_EQ(FILELEN(path.c_str()), 5);  // the exported routine keeps its low 32 bits
  std::vector<fs::DirEntry> entries;
  fs::SysError err;
  ASSERT_TRUE(fs::ops().list_folder(dir.folder_path(), &entries, &err));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 0x100000005ULL);
}

class Win32StartFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buf);
    ASSERT_GT(n, 0u);
    saved_.assign(buf, n);
  }
  void TearDown() override { ::SetCurrentDirectoryA(saved_.c_str()); }
  std::string saved_;
};

TEST_F(Win32StartFolder, DriveRootGetsOneBackslash) {
  for (const char* root : {"C:\\", "Z:\\"}) {
    if (!::SetCurrentDirectoryA(root)) continue;  // Z: exists under Wine only
    Settings settings;
    settings.determine_start_folder();
    EXPECT_EQ(settings.start_folder(), root);
    EXPECT_EQ(settings.file_path(), std::string(root) + "Checksum.def");
  }
}

TEST_F(Win32StartFolder, FolderGetsOneBackslash) {
  TempFolder dir;
  ASSERT_TRUE(::SetCurrentDirectoryA(dir.path().string().c_str()));
  std::string cwd;
  fs::SysError err;
  ASSERT_TRUE(fs::ops().current_directory(&cwd, &err));
  EXPECT_NE(cwd.back(), '\\');
  Settings settings;
  settings.determine_start_folder();
  EXPECT_EQ(settings.start_folder(), cwd + "\\");
}

TEST(Win32FolderPath, TrimsBlanksAndEndsInOneBackslash) {
  EXPECT_EQ(fs::folder_path("C:\\"), "C:\\");
  EXPECT_EQ(fs::folder_path("D:\\Work"), "D:\\Work\\");
  EXPECT_EQ(fs::folder_path("  D:\\My Work  "), "D:\\My Work\\");
  EXPECT_EQ(fs::folder_path("D:\\Work\\ "), "D:\\Work\\");
  EXPECT_EQ(fs::separator(), '\\');
}

TEST(Win32ErrorMode, EveryCallPutsThePreviousModeBack) {
  TempFolder dir;
  write_bytes(dir.file("f.txt"), kCheckBytes);
  for (const UINT mode : {0u, static_cast<UINT>(SEM_NOGPFAULTERRORBOX)}) {
    ::SetErrorMode(mode);
    const fs::Ops& os = fs::ops();
    std::string cwd;
    std::vector<fs::DirEntry> entries;
    fs::SysError err;
    std::uint64_t size = 0;
    os.current_directory(&cwd, &err);
    os.list_folder(dir.folder_path(), &entries, &err);
    os.list_folder("Q:\\no such drive\\", &entries, &err);
    os.is_plain_file(dir.file("f.txt"));
    os.find_first_size("Q:\\nothing", &size);
    os.folder_is_read_only(dir.folder_path());
    EXPECT_EQ(FILECRC(dir.file("f.txt")), kCheckText);
    EXPECT_TRUE(SAVETEXTFILE(dir.file("out.txt"), "x", &err)) << err.message;
    // SetErrorMode answers with the mode it replaces: the one set before the calls.
    EXPECT_EQ(::SetErrorMode(0), mode);
  }
}

TEST(Win32SaveText, ReplacesTheFileAndLeavesNoTemporaryBehind) {
  TempFolder dir;
  const std::string path = dir.file(kListingFileName);
  write_bytes(path, "an earlier and much longer content that must be cut away");
  fs::SysError err;
  ASSERT_TRUE(SAVETEXTFILE(path, "new", &err)) << err.message;
  EXPECT_EQ(read_bytes(path), "new\r\n");
  std::vector<fs::DirEntry> entries;
  ASSERT_TRUE(fs::ops().list_folder(dir.folder_path(), &entries, &err));
  EXPECT_EQ(entries.size(), 1u);
}

TEST(Win32SaveText, ReadOnlyTargetIsKeptAndTheReasonGiven) {
  TempFolder dir;
  const std::string path = dir.file(kListingFileName);
  write_bytes(path, "earlier");
  set_attributes(path, FILE_ATTRIBUTE_READONLY);
  fs::SysError err;
  EXPECT_FALSE(SAVETEXTFILE(path, "new", &err));
  EXPECT_EQ(err.code, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(err.message.empty());
  EXPECT_EQ(read_bytes(path), "earlier");
  std::vector<fs::DirEntry> entries;
  ASSERT_TRUE(fs::ops().list_folder(dir.folder_path(), &entries, &err));
  EXPECT_EQ(entries.size(), 1u);
}

TEST(Win32SaveText, TargetHeldOpenIsKeptAndNoTemporaryStays) {
  TempFolder dir;
  const std::string path = dir.file(kComparisonFileName);
  write_bytes(path, "earlier");
  {
    Holder other(path, GENERIC_READ, 0);
    ASSERT_TRUE(other.held());
    fs::SysError err;
    EXPECT_FALSE(SAVETEXTFILE(path, "new", &err));
    EXPECT_FALSE(err.message.empty());
  }
  EXPECT_EQ(read_bytes(path), "earlier");
  std::vector<fs::DirEntry> entries;
  fs::SysError err;
  ASSERT_TRUE(fs::ops().list_folder(dir.folder_path(), &entries, &err));
  EXPECT_EQ(entries.size(), 1u);
}

TEST(Win32SaveText, HiddenTargetStaysHidden) {
  TempFolder dir;
  const std::string path = dir.file(kListingFileName);
  write_bytes(path, "earlier");
  set_attributes(path, FILE_ATTRIBUTE_HIDDEN);
  fs::SysError err;
  ASSERT_TRUE(SAVETEXTFILE(path, "new", &err)) << err.message;
  EXPECT_EQ(read_bytes(path), "new\r\n");
  EXPECT_NE(attributes_of(path) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace sw

namespace sw {
namespace {

TEST(Win32FolderPath, OneClosingBackslashAndNoOuterBlanks) {
  EXPECT_EQ(fs::folder_path("C:\\Data"), "C:\\Data\\");
  EXPECT_EQ(fs::folder_path("C:\\"), "C:\\");
  EXPECT_EQ(fs::folder_path("  D:\\My Data  "), "D:\\My Data\\");
  EXPECT_EQ(fs::folder_path("\\\\server\\share"), "\\\\server\\share\\");
}

}  // namespace
}  // namespace sw
