// The Win32 file-system layer against the real system (run under Wine in CI): attributes,
// share modes, sizes beyond 32 bits, drive roots, the error mode, and names of every kind
// (scripts/test-windows.sh runs these under the code pages 1252 and 932).
#include "core/os/fs_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/compare.h"
#include "core/crc/crc32.h"
#include "core/enumeration.h"
#include "core/file_crc.h"
#include "core/line_reader.h"
#include "core/listing.h"
#include "core/os/fs.h"
#include "core/run.h"
#include "core/save_text.h"
#include "core/settings.h"
#include "core/text.h"
#include "tests/support/fs_fault.h"
#include "tests/support/product_road.h"
#include "tests/support/temp_folder.h"
#include "ui/main_window.h"

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

// Another process holding a file open without sharing: this test program started again with
// --hold, until the holder goes away.
class OtherProcessHolder {
 public:
  explicit OtherProcessHolder(const std::string& path) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring held_event = L"sumwright-held-" + std::to_wstring(::GetCurrentProcessId());
    held_ = ::CreateEventW(nullptr, TRUE, FALSE, held_event.c_str());
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --hold \"" + fs::wide_of(path) + L"\" " + held_event;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process_)) {
      ::CloseHandle(process_.hThread);
      held_ok_ = ::WaitForSingleObject(held_, 20000) == WAIT_OBJECT_0;
    }
  }
  ~OtherProcessHolder() {
    if (process_.hProcess != nullptr) {
      ::TerminateProcess(process_.hProcess, 0);
      ::WaitForSingleObject(process_.hProcess, 5000);
      ::CloseHandle(process_.hProcess);
    }
    if (held_ != nullptr) ::CloseHandle(held_);
  }
  OtherProcessHolder(const OtherProcessHolder&) = delete;
  OtherProcessHolder& operator=(const OtherProcessHolder&) = delete;
  bool held() const { return held_ok_; }

 private:
  PROCESS_INFORMATION process_{};
  HANDLE held_ = nullptr;
  bool held_ok_ = false;
};

// The entries of a folder given by its path, through an open folder as the core lists them.
bool list_in(const std::string& folder_path, fs::DirEntries* entries, fs::SysError* err) {
  fs::Folder folder;
  return folder.open(folder_path, err) && fs::ops().list_folder(folder.get(), true, entries, err);
}

bool folder_is_read_only(const std::string& folder_path) {
  fs::Folder folder;
  fs::SysError err;
  return folder.open(folder_path, &err) && fs::ops().folder_is_read_only(folder.get());
}

void write_wide(const std::wstring& path, std::string_view bytes) {
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << fs::native_of(path) << ": " << ::GetLastError();
  DWORD written = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(h);
}

// The entry lines of a listing text, sorted.
std::vector<std::string> entry_lines(std::string_view rest) {
  for (int i = 0; i < 3 && lines_left(rest); ++i) next_line(rest);
  std::vector<std::string> out;
  while (lines_left(rest)) out.emplace_back(next_line(rest));
  std::sort(out.begin(), out.end());
  return out;
}

std::string second_line(std::string_view text) {
  next_line(text);
  return std::string(next_line(text));
}

const fs::DirEntry* find_entry(const fs::DirEntries& entries, std::string_view name) {
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

  fs::DirEntries entries;
  fs::SysError err;
  ASSERT_TRUE(list_in(dir.folder_path(), &entries, &err)) << err.message;
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

  const Listing listing = test::list(dir.folder_path());
  EXPECT_EQ(listing.files_listed, 4u);
  EXPECT_NE(listing.text.find("hidden.txt"), std::string::npos);
  EXPECT_NE(listing.text.find("both.txt"), std::string::npos);
  EXPECT_EQ(listing.text.find("sub"), std::string::npos);
}

TEST(Win32Listing, MissingFolderFailsWithTheSystemsReason) {
  TempFolder dir;
  fs::DirEntries entries;
  fs::SysError err;
  EXPECT_FALSE(list_in(dir.file("gone") + "\\", &entries, &err));
  EXPECT_NE(err.code, 0);
  EXPECT_FALSE(err.message.empty());
  EXPECT_NE(err.message.back(), '\n');
}

TEST(Win32Tree, SubfoldersAreOpenedAsThemselvesNeverThroughALinkAndTheirIdentityKept) {
  TempFolder dir;
  ASSERT_TRUE(::CreateDirectoryA(dir.file("sub").c_str(), nullptr));
  write_bytes(dir.file("sub\\inner.txt"), kCheckBytes);
  write_bytes(dir.file("file.txt"), kCheckBytes);
  fs::Folder top, sub, not_a_folder, linked;
  fs::SysError err;
  ASSERT_TRUE(top.open(dir.folder_path(), &err)) << err.message;
  ASSERT_TRUE(sub.open_in(top, "sub", &err)) << err.message;
  EXPECT_EQ(sub.path(), dir.file("sub\\"));
  EXPECT_EQ(FILECRC(sub.path() + "inner.txt"), kCheckText);
  EXPECT_FALSE(not_a_folder.open_in(top, "file.txt", &err));
  EXPECT_FALSE(err.message.empty());
  // Two names of one folder have one identity; another folder another.
  fs::FileId by_handle, by_name, other;
  ASSERT_TRUE(fs::ops().identity(sub.get(), "", &by_handle, &err)) << err.message;
  ASSERT_TRUE(fs::ops().identity(top.get(), "sub", &by_name, &err)) << err.message;
  ASSERT_TRUE(fs::ops().identity(top.get(), "", &other, &err)) << err.message;
  EXPECT_EQ(by_handle, by_name);
  EXPECT_NE(by_handle, other);
  // A link in a folder's place is not followed, where the system makes links at all.
  if (!::CreateSymbolicLinkA(dir.file("link").c_str(), dir.file("sub").c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY))
    return;
  EXPECT_FALSE(linked.open_in(top, "link", &err));
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
  EXPECT_EQ(os.own_file(fs::kNoHandle, dir.file("plain")), fs::OwnFile::kPlain);
  EXPECT_EQ(os.own_file(fs::kNoHandle, dir.file("readonly")), fs::OwnFile::kPlain);
  EXPECT_NE(os.own_file(fs::kNoHandle, dir.file("hidden")), fs::OwnFile::kPlain);
  EXPECT_NE(os.own_file(fs::kNoHandle, dir.file("system")), fs::OwnFile::kPlain);
  EXPECT_NE(os.own_file(fs::kNoHandle, dir.file("folder")), fs::OwnFile::kPlain);
  EXPECT_NE(os.own_file(fs::kNoHandle, dir.file("missing")), fs::OwnFile::kPlain);
}

TEST(Win32PlainFile, HiddenOrSystemListingIsNotCompared) {
  TempFolder dir;
  const std::string listing_path = dir.file(kListingFileName);
  write_bytes(listing_path, valid_listing(dir.folder_path()));
  write_bytes(dir.file("check.txt"), kCheckBytes);
  const Listing now = test::list(dir.folder_path());

  EXPECT_TRUE(test::compare(dir.folder_path(), now).comparable);  // the same file, visible
  set_attributes(listing_path, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(test::compare(dir.folder_path(), now).comparable);
  set_attributes(listing_path, FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FALSE(test::compare(dir.folder_path(), now).comparable);
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
  EXPECT_EQ(settings.save(), Settings::Saved::kWritten);
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

void expect_unreadable_while_held(const std::string& path) {
  ReadBuffer buffer(4096);
  const FileChecksum sum = checksum_file(path, buffer);
  EXPECT_FALSE(sum.readable);
  EXPECT_EQ(sum.crc, 0u);
  EXPECT_EQ(sum.error.code, ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(sum.error.message.empty());
  EXPECT_EQ(FILECRC(path), "0");
}

TEST(Win32ShareModes, FileHeldWithoutSharingIsUnreadable) {
  TempFolder dir;
  const std::string path = dir.file("locked.bin");
  write_bytes(path, kCheckBytes);
  {
    Holder other(path, GENERIC_READ, 0);
    ASSERT_TRUE(other.held());
    expect_unreadable_while_held(path);
  }
  OtherProcessHolder other_process(path);
  ASSERT_TRUE(other_process.held());
  expect_unreadable_while_held(path);
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

TEST(Win32ShareModes, OurReadersShareAFileAndKeepWritersOut) {
  TempFolder dir;
  const std::string path = dir.file("busy.bin");
  write_bytes(path, kCheckBytes);
  const fs::Ops& os = fs::ops();
  fs::Handle first = fs::kNoHandle, second = fs::kNoHandle;
  fs::SysError err;
  fs::FileFacts facts;
  ASSERT_TRUE(os.open_read(fs::kNoHandle, path, &facts, &first, &err)) << err.message;
  // Another of our readers, and any other reader, get in alongside; no writer does.
  fs::FileFacts known{9, fs::kUnknownTime};
  EXPECT_TRUE(os.open_read(fs::kNoHandle, path, &known, &second, &err)) << err.message;
  Holder reader(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_TRUE(reader.held());
  Holder writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_FALSE(writer.held());
  os.close(first);
  os.close(second);
  Holder after(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_TRUE(after.held());  // both closed again
}

// Ten files, each under two names, read by sixteen readers at once, each reader through every
// name from a starting point of its own: no name shuts another out.
TEST(Win32ShareModes, HardLinkedPairsReadBySixteenReadersAllGetTheirTrueChecksum) {
  TempFolder dir;
  std::vector<std::pair<std::string, std::uint32_t>> names;
  for (int i = 0; i < 10; ++i) {
    const std::string content(256 * 1024 + static_cast<std::size_t>(i), static_cast<char>('a' + i));
    const std::string name = "file" + std::to_string(i), twin = "link" + std::to_string(i);
    write_bytes(dir.file(name), content);
    ASSERT_TRUE(::CreateHardLinkA(dir.file(twin).c_str(), dir.file(name).c_str(), nullptr));
    for (const std::string& n : {name, twin})
      names.emplace_back(dir.file(n), crc32_of(content.data(), content.size()));
  }
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (std::size_t r = 0; r < 16; ++r) {
    readers.emplace_back([&names, &wrong, r] {
      ReadBuffer buffer(64 * 1024);
      for (std::size_t k = 0; k < names.size(); ++k) {
        const auto& [path, crc] = names[(r + k) % names.size()];
        const FileChecksum sum = checksum_file(path, buffer);
        if (!sum.readable || sum.crc != crc) ++wrong;
      }
    });
  }
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(wrong.load(), 0);
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
  ASSERT_TRUE(fs::ops().open_update(fs::kNoHandle, path, &h, &writable, &err)) << err.message;
  EXPECT_FALSE(writable);
  char buf[8] = {};
  std::size_t got = 0;
  EXPECT_TRUE(fs::ops().read(h, buf, sizeof buf, &got, &err));
  EXPECT_EQ(std::string(buf, got), "abc");
  fs::ops().close(h);
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
  fs::DirEntries entries;
  fs::SysError err;
  ASSERT_TRUE(list_in(dir.folder_path(), &entries, &err));
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

TEST(Win32ErrorMode, EveryCallPutsThePreviousModeBack) {
  TempFolder dir;
  write_bytes(dir.file("f.txt"), kCheckBytes);
  for (const UINT mode : {0u, static_cast<UINT>(SEM_NOGPFAULTERRORBOX)}) {
    ::SetErrorMode(mode);
    const fs::Ops& os = fs::ops();
    std::string cwd;
    fs::DirEntries entries;
    fs::SysError err;
    std::uint64_t size = 0;
    os.current_directory(&cwd, &err);
    list_in(dir.folder_path(), &entries, &err);
    list_in("Q:\\no such drive\\", &entries, &err);
    os.own_file(fs::kNoHandle, dir.file("f.txt"));
    os.find_first_size("Q:\\nothing", &size);
    folder_is_read_only(dir.folder_path());
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
  fs::DirEntries entries;
  ASSERT_TRUE(list_in(dir.folder_path(), &entries, &err));
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
  fs::DirEntries entries;
  ASSERT_TRUE(list_in(dir.folder_path(), &entries, &err));
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
  fs::DirEntries entries;
  fs::SysError err;
  ASSERT_TRUE(list_in(dir.folder_path(), &entries, &err));
  EXPECT_EQ(entries.size(), 1u);
}

TEST(Win32SaveText, OnlyTemporaryFilesWhoseWriterIsGoneAreRemoved) {
  TempFolder dir;
  const std::string abandoned = "File CRCs.TXT.tmp-1-dead", alive = "File CRCs.TXT.tmp-2-live";
  write_bytes(dir.file(abandoned), "half");
  write_bytes(dir.file(alive), "being written");
  Holder writer(dir.file(alive), GENERIC_WRITE, 0);  // as a writer holds its temporary file
  ASSERT_TRUE(writer.held());
  fs::Folder folder;
  fs::SysError err;
  ASSERT_TRUE(folder.open(dir.folder_path(), &err)) << err.message;
  EXPECT_TRUE(fs::ops().remove_unheld(folder.get(), abandoned));
  EXPECT_FALSE(fs::ops().remove_unheld(folder.get(), alive));
  EXPECT_FALSE(test::exists(dir.file(abandoned)));
  EXPECT_TRUE(test::exists(dir.file(alive)));
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

TEST(Win32Names, EveryFileIsReadByItsRealNameAndListedAsFindFirstFileAGivesIt) {
  TempFolder dir;
  const std::wstring folder = L"\\\\?\\" + fs::wide_of(dir.folder_path());
  const std::wstring names[] = {L"plain.txt",
                                L"Caf\u00e9.txt",
                                L"Cafe.txt",
                                L"\u65e5\u672c\u8a9e.txt",
                                L"\u00c5ngstr\u00f6m \u0141\u00f3d\u017a.txt",
                                L"smile \U0001F600.txt",
                                std::wstring(250, L'n') + L".txt"};
  for (const std::wstring& name : names) write_wide(folder + name, kCheckBytes);
  ASSERT_GT(dir.folder_path().size() + 254, static_cast<std::size_t>(MAX_PATH));

  // The names the ANSI enumeration gives: the ones earlier listings hold.
  std::vector<std::string> want;
  std::vector<std::string> columns;
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((dir.folder_path() + "*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string line;
    append_entry(line, name, kCheckText);
    want.push_back(line.substr(0, line.size() - 2));
    columns.emplace_back(name_column(line));
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  std::sort(want.begin(), want.end());
  std::sort(columns.begin(), columns.end());
  const auto distinct =
      static_cast<std::size_t>(std::unique(columns.begin(), columns.end()) - columns.begin());

  const Listing listing = test::list(dir.folder_path());
  EXPECT_EQ(entry_lines(listing.text), want) << "code page " << ::GetACP();
  EXPECT_TRUE(listing.unreadable.empty()) << listing.unreadable.front().path;
  // Names the code page turns into the same bytes (Caf\u00e9 and Cafe in 932) are reported.
  std::size_t shared = 0;
  for (const auto& group : listing.shared_columns) shared += group.size() - 1;
  EXPECT_EQ(shared, want.size() - distinct) << "code page " << ::GetACP();
}

std::wstring long_form(const std::string& path) {
  return L"\\\\?\\" + fs::wide_of(path);
}

std::string entry_line(std::string_view name, std::string_view content) {
  std::string line;
  append_entry(line, name, checksum_text(crc32_of(content.data(), content.size())));
  return line.substr(0, line.size() - 2);
}

// Files and folders made by their long-path names, which the C++ library cannot remove: they go
// before the temporary folder does.
class ExactNames {
 public:
  explicit ExactNames(const TempFolder& dir) : folder_(long_form(dir.folder_path())) {}
  ~ExactNames() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
      ::DeleteFileW(it->c_str()) || ::RemoveDirectoryW(it->c_str());
  }
  ExactNames(const ExactNames&) = delete;
  ExactNames& operator=(const ExactNames&) = delete;
  void file(const std::string& name, std::string_view content) {
    made_.push_back(folder_ + fs::wide_of(name));
    write_wide(made_.back(), content);
  }
  // Made by the code under test: removed with the rest.
  void adopt(const std::string& name) { made_.push_back(folder_ + fs::wide_of(name)); }
  bool folder(const std::string& name) {
    made_.push_back(folder_ + fs::wide_of(name));
    return ::CreateDirectoryW(made_.back().c_str(), nullptr) != 0;
  }

 private:
  std::wstring folder_;
  std::vector<std::wstring> made_;
};

// Names that the ordinary path form would turn into their neighbours: a closing dot or blank,
// of files and of folders.
TEST(Win32Names, ANameEndingInADotOrABlankIsItsOwnFileAndItsFolderItsOwnFolder) {
  TempFolder dir;
  ExactNames made(dir);
  // Two of the same size, one of another: neither reads the other, nor "changes while read".
  const std::pair<std::string, std::string> files[] = {
      {"f4.txt", "123456789"}, {"f4.txt.", "abcdefghi"}, {"f4.txt ", "short"}};
  for (const auto& [name, content] : files) made.file(name, content);
  std::vector<std::string> want;
  for (const auto& [name, content] : files) want.push_back(entry_line(name, content));
  std::sort(want.begin(), want.end());

  const Listing listing = test::list(dir.folder_path());
  EXPECT_TRUE(listing.unreadable.empty()) << listing.unreadable.front().error.message;
  EXPECT_EQ(entry_lines(listing.text), want);
  // "f4.txt " and "f4.txt" share their line's name column: that much the listing cannot hold.
  ASSERT_EQ(listing.shared_columns.size(), 1u);
  EXPECT_EQ(listing.shared_columns[0].size(), 2u);
  // A caller's lookup by name is a directory search's: the padded name finds "f4.txt".
  std::uint64_t size = 0;
  ASSERT_TRUE(fs::ops().find_first_size(dir.file("f4.txt ").c_str(), &size));
  EXPECT_EQ(size, 9u);

  // "tsp " beside "tsp": each folder is itself, read and written.
  for (const auto& [name, content] :
       {std::pair<std::string, std::string>{"tsp", "neighbour"}, {"tsp ", "chosen"}}) {
    ASSERT_TRUE(made.folder(name)) << name;
    made.file(name + "\\in.txt", content);
  }
  const std::string chosen = fs::folder_path(dir.file("tsp "));
  const Listing inside = test::list(chosen);
  EXPECT_EQ(second_line(inside.text), chosen);
  EXPECT_EQ(entry_lines(inside.text), std::vector<std::string>{entry_line("in.txt", "chosen")});
  const std::string saved = chosen + std::string(kListingFileName);
  fs::SysError err;
  ASSERT_TRUE(SAVETEXTFILE(saved, inside.text, &err)) << err.message;
  made.adopt("tsp \\File CRCs.TXT");
  ASSERT_TRUE(fs::ops().file_size(fs::kNoHandle, saved, &size, &err)) << err.message;
  EXPECT_EQ(size, inside.text.size() + 2);
  EXPECT_FALSE(test::exists(dir.file("tsp\\File CRCs.TXT")));
}

// Whether the folder tells case apart, as a test makes it.
bool g_tells_case_apart = false;

// In a folder that ignores case, the tool's own files are its own whatever their case: an earlier
// listing saved in capitals is the earlier listing and is replaced, and a temporary file of a save
// in capitals is never listed. In a folder that tells case apart (Wine's folders of Linux, or one
// with case sensitivity switched on), only their exact names are the tool's: the user's look-alikes
// are listed, and never replaced, even where the system would take one for the other.
TEST(Win32Names, OwnNamesAsTheFolderTellsThem) {
  for (const bool tells : {false, true}) {
    SCOPED_TRACE(tells ? "tells case apart" : "ignores case");
    TempFolder dir;
    write_bytes(dir.file("FILE CRCS.TXT"), valid_listing(dir.folder_path()));
    write_bytes(dir.file("crc comparison.txt.TMP-1-0123456789ABCDEF"), "half");
    test::FsOverride fault;
    g_tells_case_apart = tells;
    fault.ops().tells_case_apart = [](fs::Handle) { return g_tells_case_apart; };
    fs::Folder folder;
    fs::SysError err;
    ASSERT_TRUE(folder.open(dir.folder_path(), &err)) << err.message;
    EXPECT_EQ(enumerate_folder(folder, true).own_temporaries.size(), tells ? 0u : 1u);
    EarlierListing earlier;
    EXPECT_EQ(earlier.open(folder), tells ? Earlier::kNone : Earlier::kListing);
    earlier.close();

    struct Recorder final : RunFrontEnd {
      std::vector<std::string> failed;
      bool ask(Question, std::string_view) override { return true; }
      void show_file(const std::string&) override {}
      void report_write_failure(const std::string& path, const fs::SysError& e) override {
        failed.push_back(path + ": " + e.message);
      }
    } ui;
    const RunReport r = run_folder(ui, folder);
    const std::vector<std::string> lines = entry_lines(r.listing.text);
    const bool listed_capitals = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
      return l.starts_with("FILE CRCS.TXT ");
    });
    EXPECT_TRUE(listed_capitals);  // as the earlier listing's own entry, or as the user's file
    if (tells) {
      // Kept: the new listing cannot take the name the system would take for the user's file.
      EXPECT_EQ(read_bytes(dir.file("FILE CRCS.TXT")), valid_listing(dir.folder_path()));
      ASSERT_EQ(ui.failed.size(), 1u);
      EXPECT_NE(ui.failed[0].find("letter case"), std::string::npos) << ui.failed[0];
    } else {
      EXPECT_TRUE(ui.failed.empty()) << ui.failed.front();
      EXPECT_NE(read_bytes(dir.file("FILE CRCS.TXT")), valid_listing(dir.folder_path()));
    }
  }
}

// Answers no.
class QuietFrontEnd final : public RunFrontEnd {
 public:
  bool ask(Question, std::string_view) override { return false; }
  void show_file(const std::string&) override {}
  void report_write_failure(const std::string& path, const fs::SysError& error) override {
    ADD_FAILURE() << path << ": " << error.message;
  }
};

TEST(Win32Names, AFolderTheCodePageCannotHoldIsReadAndNamedByItsShortPath) {
  TempFolder dir;
  const std::wstring wide = fs::wide_of(dir.folder_path()) + L"smile \U0001F600";
  ASSERT_TRUE(::CreateDirectoryW(wide.c_str(), nullptr));
  write_wide(wide + L"\\inside.txt", kCheckBytes);
  wchar_t short_path[MAX_PATH] = {};
  if (::GetShortPathNameW(wide.c_str(), short_path, MAX_PATH) == 0 || wide == short_path)
    GTEST_SKIP() << "this volume keeps no short names";

  Settings settings;
  settings.set_start_folder(dir.folder_path());
  ui::remember_folder(settings, fs::native_of(wide));
  fs::Folder folder;
  fs::SysError err;
  ASSERT_TRUE(folder.open(fs::folder_path(fs::native_of(wide)), &err)) << err.message;
  QuietFrontEnd ui;
  const RunReport r = run_folder(ui, folder);
  EXPECT_TRUE(r.listing_saved);
  EXPECT_TRUE(r.listing.unreadable.empty());
  EXPECT_EQ(
      entry_lines(r.listing.text),
      std::vector<std::string>{"inside.txt" + std::string(30, ' ') + std::string(kCheckText)});
  // The header and "Checksum.def" hold a path that the code page holds and that names the folder.
  const std::string header_folder = second_line(r.listing.text);
  EXPECT_EQ(header_folder, fs::native_of(short_path) + "\\");
  EXPECT_EQ(attributes_of(header_folder + "inside.txt") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(settings.remembered_folder(), fs::native_of(short_path));
  EXPECT_EQ(read_bytes(fs::native_of(short_path) + "\\File CRCs.TXT"),
            std::string(r.listing.text) + "\r\n");
}

}  // namespace
}  // namespace sw

namespace sw {
namespace {

// Whatever a path looks like, the system is given its long-path form, every name as written.
TEST(Win32FolderPath, TheSystemIsGivenTheLongPathFormWithEveryNameAsWritten) {
  char cwd[MAX_PATH];
  const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, cwd);
  ASSERT_GT(n, 2u);
  const std::string here(cwd, n), drive = here.substr(0, 2);
  const std::pair<std::string, std::string> rows[] = {
      {"C:\\Data\\f4.txt.", "\\\\?\\C:\\Data\\f4.txt."},
      {"C:\\Data\\f4.txt ", "\\\\?\\C:\\Data\\f4.txt "},
      {"D:\\tsp \\", "\\\\?\\D:\\tsp \\"},
      {"D:\\tsp.\\in.txt", "\\\\?\\D:\\tsp.\\in.txt"},
      {"C:/a//./b/../c \\NUL", "\\\\?\\C:\\a\\c \\NUL"},
      {"C:\\", "\\\\?\\C:\\"},
      {"C:\\..\\..", "\\\\?\\C:\\"},
      {"\\\\server\\share", "\\\\?\\UNC\\server\\share\\"},
      {"\\\\server\\share\\x\\..\\..\\y.", "\\\\?\\UNC\\server\\share\\y."},
      {"\\\\?\\C:\\kept\\.\\as is", "\\\\?\\C:\\kept\\.\\as is"},
      {"rel\\f.", "\\\\?\\" + here + "\\rel\\f."},
      {"\\top ", "\\\\?\\" + drive + "\\top "},
  };
  for (const auto& [native, system] : rows)
    EXPECT_EQ(fs::native_of(fs::exact_path(native)), system) << native;
}

TEST(Win32FolderPath, OneClosingBackslashAndEveryByteOfTheName) {
  // Blanks belong to a folder's name: "D:\tsp " is another folder than "D:\tsp".
  const std::pair<const char*, const char*> rows[] = {
      {"C:\\Data", "C:\\Data\\"}, {"C:\\", "C:\\"},
      {"D:\\tsp ", "D:\\tsp \\"}, {" D:\\My Data", " D:\\My Data\\"},
      {"D:\\Work/", "D:\\Work/"}, {"\\\\server\\share", "\\\\server\\share\\"},
  };
  for (const auto& [chosen, path] : rows) EXPECT_EQ(fs::folder_path(chosen), path) << chosen;
  EXPECT_EQ(fs::split_path("D:\\Work/a\\b.txt"),
            std::make_pair(std::string("D:\\Work/a\\"), std::string("b.txt")));
  EXPECT_EQ(fs::separator(), '\\');
}

}  // namespace
}  // namespace sw

// The test program, or with --hold PATH EVENT the other process of OtherProcessHolder: it opens
// PATH without sharing, signals EVENT and waits to be ended.
int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring_view(argv[1]) == L"--hold") {
    const HANDLE file = ::CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE held = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (file == INVALID_HANDLE_VALUE || held == nullptr) return 1;
    ::SetEvent(held);
    ::Sleep(INFINITE);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
