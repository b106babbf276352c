// The folder pass reads on many threads; what the caller sees must not show it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/checksum_pass.h"
#include "core/crc/crc32.h"
#include "core/folder_stream.h"
#include "core/line_reader.h"
#include "core/listing.h"
#include "core/run.h"
#include "core/stop.h"
#include "core/text.h"
#include "tests/support/fs_fault.h"
#include "tests/support/product_road.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace sw {
namespace {

using test::TempFolder;
using test::write_bytes;

// Content that differs from file to file, so a result handed to the wrong file shows.
std::string content_for(int i, std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t k = 0; k < size; ++k) s[k] = static_cast<char>((k * 131 + i * 7919) >> 3);
  return s;
}

// prefix + i, built without the temporary that GCC 12 misreads under -Wrestrict.
std::string numbered(std::string prefix, int i) {
  prefix += std::to_string(i);
  return prefix;
}

fs::DirEntries enumerate(const std::string& folder_path, bool sizes = true) {
  fs::DirEntries entries;
  fs::SysError err;
  fs::Folder folder;
  EXPECT_TRUE(folder.open(folder_path, &err)) << err.message;
  EXPECT_TRUE(fs::ops().list_folder(folder.get(), sizes, &entries, &err)) << err.message;
  return entries;
}

bool contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// Shared state of the injected file-system calls, which may run on either thread.
struct Injected {
  std::mutex mutex;
  std::map<std::string, int> opens;   // name -> times opened
  int open_now = 0;                   // files open at the moment
  bool out_of_order = false;          // every third file's open lingers, so later ones finish first
  std::set<fs::Handle> broken;        // handles whose second piece fails
  std::map<fs::Handle, int> pieces;   // handle -> pieces read
  std::thread::id caller;             // the thread that runs the test
  std::set<std::thread::id> openers;  // threads that opened a file
  std::atomic<bool> helper_opening{false};
  const std::atomic<int>* signs_of_life = nullptr;  // the caller's empty progress calls

  void reset() {
    const std::lock_guard<std::mutex> lock(mutex);
    opens.clear();
    open_now = 0;
    out_of_order = false;
    broken.clear();
    pieces.clear();
    caller = std::this_thread::get_id();
    openers.clear();
    helper_opening = false;
    signs_of_life = nullptr;
  }
};
Injected injected;

bool counting_open(fs::Handle folder, const std::string& name, fs::FileFacts* size, fs::Handle* out,
                   fs::SysError* err) {
  bool linger = false;
  {
    const std::lock_guard<std::mutex> lock(injected.mutex);
    linger = injected.out_of_order && injected.opens.size() % 3 == 0;
    ++injected.opens[name];
  }
  if (linger) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (contains(name, "locked")) return test::inject(err, "held by another process");
  if (!fs::platform_ops().open_read(folder, name, size, out, err)) return false;
  {
    const std::lock_guard<std::mutex> lock(injected.mutex);
    ++injected.open_now;
  }
  if (contains(name, "broken")) {
    const std::lock_guard<std::mutex> lock(injected.mutex);
    injected.broken.insert(*out);
  }
  return true;
}

bool failing_read(fs::Handle h, void* buffer, std::size_t size, std::size_t* got,
                  fs::SysError* err) {
  {
    const std::lock_guard<std::mutex> lock(injected.mutex);
    if (injected.broken.count(h) != 0 && ++injected.pieces[h] == 2)
      return test::inject(err, "I/O error");
  }
  return fs::platform_ops().read(h, buffer, size, got, err);
}

void close_and_forget(fs::Handle h) {
  {
    const std::lock_guard<std::mutex> lock(injected.mutex);
    --injected.open_now;
    injected.broken.erase(h);  // the number may come back for another file
    injected.pieces.erase(h);
  }
  fs::platform_ops().close(h);
}

// Every notification as one line, and the thread it arrived on.
class EventLog : public ListingObserver {
 public:
  bool wants_byte_totals() const override { return totals; }
  void on_start(std::uint64_t files, std::uint64_t total) override {
    note("S " + std::to_string(files) + " " + std::to_string(total));
  }
  void on_name(std::string_view name) override { note("N " + std::string(name)); }
  void on_checksum(std::string_view text) override { note("C " + std::string(text)); }
  void on_unreadable(const std::string& path, const fs::SysError& e) override {
    note("U " + path + " " + e.message);
  }
  void on_file_finished() override { note("F"); }
  void on_bytes(std::uint64_t count) override {
    bytes += count;
    if (count == 0) ++empty_progress;
    seen_on_other_thread |= std::this_thread::get_id() != caller;
  }

  bool totals = true;
  std::vector<std::string> events;
  std::uint64_t bytes = 0;
  std::atomic<int> empty_progress{0};  // also watched by the reader threads
  bool seen_on_other_thread = false;
  std::thread::id caller = std::this_thread::get_id();

 private:
  void note(std::string event) {
    seen_on_other_thread |= std::this_thread::get_id() != caller;
    events.push_back(std::move(event));
  }
};

class FolderPass : public ::testing::Test {
 protected:
  void SetUp() override {
    injected.reset();
    fs::SysError err;
    ASSERT_TRUE(open.open(dir.folder_path(), &err)) << err.message;
  }
  std::string folder() const { return dir.folder_path(); }
  TempFolder dir;
  test::FsOverride fault;
  fs::Folder open;  // the folder, as a pass reads it
};

TEST_F(FolderPass, ManyFilesComeOutInEnumerationOrderReadOnceEach) {
  // Empty files, files of several pieces, and unreadable ones spread through 300 names.
  std::map<std::string, std::string> contents;
  for (int i = 0; i < 300; ++i) {
    std::string name = numbered("f", i);
    if (i % 41 == 5) name = "locked " + name;
    std::size_t size = 1 + static_cast<std::size_t>(i % 13) * 300;
    if (i % 7 == 0) size = 0;
    if (i % 60 == 11) size = ReadBuffer::kDefaultSize * 2 + 17;
    contents[name] = content_for(i, size);
    write_bytes(dir.file(name), contents[name]);
  }
  fault.ops().open_read = counting_open;
  fault.ops().close = close_and_forget;
  injected.out_of_order = true;

  std::string expected_text = "File CRCs For Folder:\r\n" + folder() + "\r\n" +
                              "-----------------------------------------\r\n";
  std::vector<std::string> expected_events, expected_unreadable;
  std::uint64_t total = 0, readable_bytes = 0;
  std::size_t files = 0;
  for (const fs::DirEntry& e : enumerate(folder())) {
    const std::string& content = contents.at(e.name);
    ++files;
    total += content.size();
    expected_events.push_back("N " + e.name);
    if (!content.empty()) {
      const bool locked = contains(e.name, "locked");
      const std::string crc =
          locked ? "0" : checksum_text(crc32_of(content.data(), content.size()));
      append_entry(expected_text, e.name, crc);
      if (locked) {
        expected_unreadable.push_back(dir.file(e.name));
        expected_events.push_back("U " + dir.file(e.name) + " held by another process");
      } else {
        readable_bytes += content.size();
      }
      expected_events.push_back("C " + crc);
    }
    expected_events.push_back("F");
  }
  // Without sizes before reading (where the enumeration gives none for free), empty files are
  // only found empty once opened, or looked up when they cannot be.
  for (const bool totals : {true, false}) {
    SCOPED_TRACE(totals ? "sizes asked for" : "sizes not asked for");
    injected.opens.clear();
    EventLog log;
    log.totals = totals;
    const Listing listing = test::list(folder(), &log);
    EXPECT_EQ(std::string_view(listing.text), expected_text);
    ASSERT_FALSE(log.events.empty());
    // Unasked, the byte total is 0 where the enumeration gives no sizes for nothing (POSIX).
    const std::string start = "S " + std::to_string(files) + " ";
    EXPECT_TRUE(log.events[0] == start + std::to_string(total) ||
                (!totals && log.events[0] == start + "0"))
        << log.events[0];
    EXPECT_EQ(std::vector<std::string>(log.events.begin() + 1, log.events.end()), expected_events);
    EXPECT_FALSE(log.seen_on_other_thread);
    EXPECT_EQ(log.bytes, readable_bytes);
    EXPECT_EQ(listing.bytes, readable_bytes);
    std::vector<std::string> unreadable;
    for (const UnreadableFile& u : listing.unreadable) unreadable.push_back(u.path);
    EXPECT_EQ(unreadable, expected_unreadable);
    EXPECT_EQ(unreadable.size(), 7u);  // one of the eight locked files is empty
    // Every file with content is opened exactly once; an empty one only when its size was not
    // known before reading.
    const bool sized = log.events[0] != start + "0";
    for (const auto& [name, content] : contents)
      EXPECT_EQ(injected.opens[name], content.empty() && sized ? 0 : 1) << name;
  }
}

TEST_F(FolderPass, ReadFailuresPartWayOnAnyReaderGiveZeroInTheirOwnPlace) {
  const std::size_t big = ReadBuffer::kDefaultSize + 1000;  // two pieces
  std::map<std::string, std::string> contents;
  for (int i = 0; i < 12; ++i) {
    const std::string name = (i % 3 == 1 ? "broken" : "whole") + std::to_string(i);
    contents[name] = content_for(i, big);
    write_bytes(dir.file(name), contents[name]);
  }
  fault.ops().open_read = counting_open;
  fault.ops().read = failing_read;
  fault.ops().close = close_and_forget;

  EventLog log;
  const Listing listing = test::list(folder(), &log);
  std::string_view rest = listing.text;
  for (int i = 0; i < 3; ++i) next_line(rest);
  int broken = 0, whole = 0;
  while (lines_left(rest)) {
    const std::string_view line = next_line(rest);
    const std::string name(trim_blanks(line.substr(0, kNameColumnWidth)));
    const std::string& content = contents.at(name);
    if (contains(name, "broken")) {
      ++broken;
      EXPECT_EQ(line.substr(kNameColumnWidth), "0") << name;
    } else {
      ++whole;
      EXPECT_EQ(line.substr(kNameColumnWidth), checksum_text(crc32_of(content.data(), big)))
          << name;
    }
  }
  EXPECT_EQ(broken, 4);
  EXPECT_EQ(whole, 8);
  ASSERT_EQ(listing.unreadable.size(), 4u);
  for (const UnreadableFile& u : listing.unreadable) {
    EXPECT_TRUE(contains(u.path, "broken"));
    EXPECT_EQ(u.error.message, "I/O error");
  }
  EXPECT_FALSE(log.seen_on_other_thread);
}

fs::DirEntries make_files(TempFolder& dir, int count, std::size_t size) {
  for (int i = 0; i < count; ++i) write_bytes(dir.file(numbered("g", i)), content_for(i, size));
  return enumerate(dir.folder_path());
}

std::uint32_t expected_crc(const fs::DirEntry& e, std::size_t size) {
  const std::string content = content_for(std::stoi(e.name.substr(1)), size);
  return crc32_of(content.data(), content.size());
}

TEST_F(FolderPass, SameResultsWithAnyNumberOfReaders) {
  const fs::DirEntries entries = make_files(dir, 40, 5000);
  for (const std::size_t readers : {0u, 1u, 3u, 16u}) {
    EventLog log;
    ChecksumPass pass(open.get(), entries, readers);
    EXPECT_EQ(pass.readers(), readers);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const FileChecksum sum = pass.take(entries[i], &log);
      EXPECT_TRUE(sum.readable);
      EXPECT_EQ(sum.bytes, 5000u);
      EXPECT_EQ(sum.crc, expected_crc(entries[i], 5000)) << entries[i].name;
    }
    EXPECT_EQ(log.bytes, 40u * 5000u);
    EXPECT_FALSE(log.seen_on_other_thread);
  }
  // An entry asked for out of its turn gets its own checksum, never the one whose turn it was,
  // and the order goes on undisturbed.
  ChecksumPass pass(open.get(), entries);
  for (const std::size_t i : {3u, 0u, 1u, 2u, 3u, 4u})
    EXPECT_EQ(pass.take(entries[i], nullptr).crc, expected_crc(entries[i], 5000)) << i;
  // One file is read where it is asked for.
  const fs::DirEntries one(entries.begin(), entries.begin() + 1);
  EXPECT_EQ(ChecksumPass(open.get(), one).readers(), 0u);
}

// A stop ends every read at its next piece: the window closes within a second, also in the middle
// of a file of gigabytes.
StopRequest* g_stop = nullptr;
std::atomic<int> g_pieces_after_stop{0};
bool read_then_stop(fs::Handle h, void* buffer, std::size_t size, std::size_t* got,
                    fs::SysError* err) {
  if (g_stop->requested()) ++g_pieces_after_stop;
  g_stop->request();  // after the first piece of all
  return fs::platform_ops().read(h, buffer, size, got, err);
}

TEST_F(FolderPass, AStopEndsEveryReadAtItsNextPiece) {
  const fs::DirEntries entries = make_files(dir, 6, 8 * ReadBuffer::kDefaultSize);
  fault.ops().read = read_then_stop;
  for (const std::size_t readers : {0u, 4u}) {
    SCOPED_TRACE(readers);
    StopRequest stop;
    g_stop = &stop;
    g_pieces_after_stop = 0;
    {
      ChecksumPass pass(open.get(), entries, readers, &stop);
      const FileChecksum sum = pass.take(entries[0], nullptr);
      EXPECT_TRUE(sum.stopped);
      EXPECT_FALSE(sum.readable);
      EXPECT_EQ(sum.crc, 0u);
      EXPECT_TRUE(pass.stop_requested());
    }
    // Each reader ends with the piece it had begun, at most: not the 47 pieces left of its files.
    EXPECT_LE(g_pieces_after_stop.load(), static_cast<int>(readers) + 1);
  }
}

TEST_F(FolderPass, APassGivenUpEarlyStopsItsReadersAndReadsNoFurther) {
  const fs::DirEntries entries = make_files(dir, static_cast<int>(ChecksumPass::kWindow) + 200, 10);
  fault.ops().open_read = counting_open;
  fault.ops().close = close_and_forget;
  constexpr std::size_t kReaders = 4;
  {
    ChecksumPass pass(open.get(), entries, kReaders);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_TRUE(pass.take(entries[i], nullptr).readable);
  }
  const std::lock_guard<std::mutex> lock(injected.mutex);
  EXPECT_EQ(injected.open_now, 0);  // every reader has ended, its file closed
  // The readers never ran further ahead than their results may wait.
  EXPECT_LE(injected.opens.size(), 2 + ChecksumPass::kWindow);
}

// Opens every subfolder as the system does, but "folder5" not at all.
bool failing_subfolder(fs::Handle parent, const std::string& name, const std::string& path,
                       fs::Handle* out, fs::SysError* err) {
  if (name == "folder5") return test::inject(err, "network name no longer available");
  return fs::platform_ops().open_subfolder(parent, name, path, out, err);
}

TEST_F(FolderPass, FoldersOfATreeComeOutFolderByFolderInOrderWhateverFinishesFirst) {
  // Subfolders of every size, one that cannot be opened (with a folder inside it), read as one
  // stream with later reads finishing first; the top holds files too.
  const int counts[] = {3, 0, 1, 300, 2, 5, 40};
  std::vector<std::string> paths{dir.folder_path()};
  write_bytes(dir.file("top.txt"), content_for(99, 700));
  for (std::size_t f = 0; f < std::size(counts); ++f) {
    const std::string path = fs::folder_path(numbered(dir.file("folder"), static_cast<int>(f)));
    std::filesystem::create_directory(path);
    for (int i = 0; i < counts[f]; ++i)
      write_bytes(path + numbered(numbered("f", static_cast<int>(f)) + "_", i),
                  content_for(i + static_cast<int>(f) * 1000, 700));
    if (f != 5) paths.push_back(path);
  }
  std::filesystem::create_directory(dir.file("folder5/below"));
  std::vector<std::string> expected;
  for (const std::string& path : paths) expected.emplace_back(test::list(path).text);

  fault.ops().open_read = counting_open;
  fault.ops().close = close_and_forget;
  fault.ops().open_subfolder = failing_subfolder;
  for (const bool give_up : {false, true}) {
    injected.reset();
    injected.out_of_order = true;
    {
      FolderStream stream(std::move(open), /*sizes=*/false);
      std::size_t listed = 0;
      for (std::size_t f = 0; f <= std::size(counts); ++f) {
        FolderStream::Prepared* p = stream.next();
        ASSERT_NE(p, nullptr);
        if (f == 6) {  // "folder5", in its place, and nothing below it
          EXPECT_EQ(p->folder, nullptr);
          EXPECT_EQ(p->path, fs::folder_path(dir.file("folder5")));
          EXPECT_EQ(p->open_error.message, "network name no longer available");
          continue;
        }
        ASSERT_NE(p->folder, nullptr) << p->path;
        EXPECT_EQ(p->path, paths[listed]);
        EventLog log;
        EXPECT_EQ(std::string_view(BUILDCRCLIST(*p->folder, p->found, stream.pass(), &log).text),
                  expected[listed]);
        EXPECT_FALSE(log.seen_on_other_thread);
        ++listed;
        if (give_up && f == 3) break;
      }
      if (!give_up) {
        EXPECT_EQ(stream.next(), nullptr);
        EXPECT_EQ(stream.next(), nullptr);
      }
    }
    const std::lock_guard<std::mutex> lock(injected.mutex);
    EXPECT_EQ(injected.open_now, 0) << "a reader outlived its stream";
    for (const auto& [name, times] : injected.opens) EXPECT_EQ(times, 1) << name;
    ASSERT_TRUE(open.open(dir.folder_path(), nullptr));
  }
}

#ifndef _WIN32
TEST_F(FolderPass, AFolderSwappedForALinkWhileTheTreeIsReadIsNotFollowed) {
  static TempFolder outside;
  static std::string inside;
  inside = dir.file("inside");
  std::filesystem::create_directory(inside);
  write_bytes(inside + "/a", "a");
  // Between the parent's enumeration and the subfolder's open, someone puts a link in its place.
  fault.ops().open_subfolder = [](fs::Handle parent, const std::string& name,
                                  const std::string& path, fs::Handle* out, fs::SysError* err) {
    std::filesystem::rename(inside, inside + ".real");
    std::filesystem::create_directory_symlink(outside.path(), inside);
    return fs::platform_ops().open_subfolder(parent, name, path, out, err);
  };
  FolderStream stream(std::move(open), /*sizes=*/false);
  ASSERT_NE(stream.next(), nullptr);  // the top
  FolderStream::Prepared* swapped = stream.next();
  ASSERT_NE(swapped, nullptr);
  EXPECT_EQ(swapped->folder, nullptr);
  EXPECT_EQ(swapped->path, fs::folder_path(inside));
  EXPECT_FALSE(swapped->open_error.message.empty());
  // And a run of it reads and writes nothing, there or anywhere.
  struct Quiet : RunFrontEnd {
    bool ask(Question, std::string_view) override { return true; }
    void show_file(const std::string&) override {}
    void report_write_failure(const std::string&, const fs::SysError&) override {}
  } quiet;
  const RunReport r = run_folder(quiet, *swapped, stream.pass(), {});
  EXPECT_FALSE(r.opened);
  EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
  EXPECT_EQ(stream.next(), nullptr);
}
#endif

bool throwing_off_caller(fs::Handle folder, const std::string& name, fs::FileFacts* size,
                         fs::Handle* out, fs::SysError* err) {
  if (std::this_thread::get_id() != injected.caller) throw std::bad_alloc();
  return fs::platform_ops().open_read(folder, name, size, out, err);
}

TEST_F(FolderPass, ReadersThatFailHandTheirFilesBack) {
  const fs::DirEntries entries = make_files(dir, 20, 100);
  fault.ops().open_read = throwing_off_caller;
  ChecksumPass pass(open.get(), entries, 3);
  ASSERT_EQ(pass.readers(), 3u);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const FileChecksum sum = pass.take(entries[i], nullptr);
    EXPECT_TRUE(sum.readable) << sum.error.message;
    EXPECT_EQ(sum.crc, expected_crc(entries[i], 100)) << entries[i].name;
  }
}

// Files that keep their readers waiting (on a disk) leave the cores idle: more readers are
// started, up to the most asked for, however few began.
bool waiting_open(fs::Handle folder, const std::string& name, fs::FileFacts* size, fs::Handle* out,
                  fs::SysError* err) {
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  {
    const std::lock_guard<std::mutex> lock(injected.mutex);
    injected.openers.insert(std::this_thread::get_id());
  }
  return fs::platform_ops().open_read(folder, name, size, out, err);
}

TEST_F(FolderPass, ReadersWaitingOnTheDiskAreJoinedByMore) {
  const std::size_t first = 2 * std::max(1u, std::thread::hardware_concurrency());
  // Enough files that the readers wait through several of the pass's 25 ms looks at the cores.
  const fs::DirEntries entries = make_files(dir, static_cast<int>(40 * first), 10);
  fault.ops().open_read = waiting_open;
  ChecksumPass pass(open.get(), entries, first + 4);
  for (const fs::DirEntry& e : entries) EXPECT_EQ(pass.take(e, nullptr).crc, expected_crc(e, 10));
  EXPECT_EQ(pass.active_readers(), first + 4);
  EXPECT_EQ(injected.openers.size(), first + 4);
  EXPECT_EQ(injected.openers.count(injected.caller), 0u);
}

// Waits (at most 10 s) until `ready` holds.
template <class Ready>
void wait_until(Ready ready) {
  for (int i = 0; i < 1000 && !ready(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// A reader's open does not end before the calling thread, which waits for its file, has given
// two signs of life; an open on the calling thread waits until a reader has begun.
bool open_held_up_by_the_helper(fs::Handle folder, const std::string& name, fs::FileFacts* size,
                                fs::Handle* out, fs::SysError* err) {
  if (std::this_thread::get_id() == injected.caller) {
    wait_until([] { return injected.helper_opening.load(); });
  } else {
    injected.helper_opening = true;
    wait_until([] { return injected.signs_of_life->load() >= 2; });
  }
  return fs::platform_ops().open_read(folder, name, size, out, err);
}

TEST_F(FolderPass, WaitingForTheReadersStillReportsProgress) {
  const fs::DirEntries entries = make_files(dir, 2, 3000);
  EventLog log;
  injected.signs_of_life = &log.empty_progress;
  fault.ops().open_read = open_held_up_by_the_helper;
  ChecksumPass pass(open.get(), entries, 2);
  for (std::size_t i = 0; i < entries.size(); ++i)
    EXPECT_EQ(pass.take(entries[i], &log).crc, expected_crc(entries[i], 3000));
  EXPECT_GE(log.empty_progress, 2);
  EXPECT_EQ(log.bytes, 6000u);
  EXPECT_FALSE(log.seen_on_other_thread);
}

#ifndef _WIN32
TEST(FolderEnumeration, KindsAndSizesOfAFolderLargeEnoughToShareTheLookups) {
  TempFolder dir;
  for (int i = 0; i < 400; ++i)
    write_bytes(dir.file(numbered("r", i)), std::string(static_cast<std::size_t>(i * 3), 'x'));
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_symlink(dir.file("r100"), dir.file("to_file"));
  std::filesystem::create_directory_symlink(dir.path() / "sub", dir.path() / "to_dir");
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

  // Unasked, a plain file's size may stay unknown; links are still looked up for their target.
  for (const bool sizes : {true, false}) {
    std::map<std::string, fs::DirEntry> by_name;
    for (fs::DirEntry& e : enumerate(dir.folder_path(), sizes)) by_name[e.name] = e;
    ASSERT_EQ(by_name.size(), 405u);
    for (int i = 0; i < 400; ++i) {
      const fs::DirEntry& e = by_name[numbered("r", i)];
      EXPECT_EQ(e.kind, fs::EntryKind::kFile) << e.name;
      if (sizes || e.size != fs::kUnknownSize) {
        EXPECT_EQ(e.size, static_cast<std::uint64_t>(i * 3)) << e.name;
      }
    }
    EXPECT_EQ(by_name["to_file"].kind, fs::EntryKind::kFile);
    EXPECT_EQ(by_name["to_file"].size, 300u);
    EXPECT_EQ(by_name["sub"].kind, fs::EntryKind::kDirectory);
    EXPECT_EQ(by_name["to_dir"].kind, fs::EntryKind::kDirectory);
    EXPECT_EQ(by_name["dangling"].kind, fs::EntryKind::kUnreachable);
    EXPECT_EQ(by_name["pipe"].kind, fs::EntryKind::kOther);
  }
}
#endif

}  // namespace
}  // namespace sw
