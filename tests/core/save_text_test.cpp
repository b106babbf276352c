#include "core/save_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/run.h"
#include "core/save_batch.h"
#include "tests/support/fs_fault.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::TempFolder;

std::size_t file_count(const TempFolder& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
  return n;
}

TEST(SaveTextFile, WritesTextAndOneMoreLineEndReplacingTheOldContent) {
  TempFolder dir;
  const std::string path = dir.file("out.TXT");
  test::write_bytes(path, std::string(10000, 'o'));  // a longer old file is cut away
  fs::SysError err;
  ASSERT_TRUE(SAVETEXTFILE(path, std::string("line\r\n\0x", 8), &err)) << err.message;
  EXPECT_EQ(test::read_bytes(path), std::string("line\r\n\0x\r\n", 10));
  EXPECT_EQ(file_count(dir), 1u);  // no temporary file left behind
}

struct FaultCase {
  const char* what;
  void (*install)(fs::Ops&);
  // Only a failure once the file is in place replaces the earlier one; it says so.
  const char* said = nullptr;
};

// Any failure before the file is put in place keeps the earlier file and removes the temporary;
// one after it (the folder's flush) says the file was written, but is not known to be durable.
TEST(SaveTextFile, AnyFailureKeepsTheEarlierFileAndRemovesTheTemporary) {
  const FaultCase cases[] = {
      {"inspect",
       [](fs::Ops& o) {
         o.inspect_target = [](fs::Handle, const std::string&, fs::ReplaceTarget*,
                               fs::SysError* e) { return test::inject(e, "inspect"); };
       }},
      {"create",
       [](fs::Ops& o) {
         o.create_new = [](fs::Handle, const std::string&, std::uint32_t, fs::Handle*,
                           fs::SysError* e) {
           test::inject(e, "create");
           return fs::Created::kFailed;
         };
       }},
      {"write",
       [](fs::Ops& o) {
         o.write = [](fs::Handle, const void*, std::size_t, fs::SysError* e) {
           return test::inject(e, "write");
         };
       }},
      {"flush",
       [](fs::Ops& o) {
         o.flush = [](fs::Handle, fs::SysError* e) { return test::inject(e, "flush"); };
       }},
      {"replace",
       [](fs::Ops& o) {
         o.replace = [](fs::Handle, const std::string&, const std::string&, fs::SysError* e) {
           return test::inject(e, "replace");
         };
       }},
      {"flush folder",
       [](fs::Ops& o) {
         o.flush_folder = [](fs::Handle, fs::SysError* e) {
           return test::inject(e, "flush folder");
         };
       },
       "written, but not known to be durable: flush folder"},
  };
  for (const FaultCase& c : cases) {
    TempFolder dir;
    const std::string path = dir.file("File CRCs.TXT");
    test::write_bytes(path, "earlier listing");
    test::FsOverride fault;
    c.install(fault.ops());
    fs::SysError err;
    EXPECT_FALSE(SAVETEXTFILE(path, "new listing", &err)) << c.what;
    EXPECT_EQ(err.message, c.said != nullptr ? c.said : c.what);
    EXPECT_EQ(test::read_bytes(path), c.said != nullptr ? "new listing\r\n" : "earlier listing")
        << c.what;
    EXPECT_EQ(file_count(dir), 1u) << c.what;
  }
}

// Which flush of a batch fails, if any, with an injected EIO.
int g_failing_flush = 0;  // 0: none; 1: the one before the renames; 2: the one after
int g_flushes = 0;
fs::Flushed counted_flush(fs::Handle folder, fs::SysError* err) {
  if (++g_flushes == g_failing_flush) {
    test::inject(err, "input/output error");
    return fs::Flushed::kFailed;
  }
  return fs::platform_ops().flush_volume(folder, err);
}

// Folders whose file system cannot be told (their identity fails) are flushed one by one: one
// flush of one of them would say nothing of the others.
bool no_identity(fs::Handle, const std::string&, fs::FileId*, fs::SysError* err) {
  return test::inject(err, "stale handle");
}

TEST(SaveBatch, ABatchIsPutInPlaceWholeOrNotAtAllAsItsFlushesSay) {
  struct Row {
    int failing_flush;
    bool new_in_place;
    const char* error;
    bool identities = true;
    int flushes = 2;  // one before the renames and one after, a file system
  };
  const Row rows[] = {
      {0, true, ""},
      {1, false, "input/output error", true, 1},  // nothing durable: every earlier file kept
      {2, true, "written, but not known to be durable: input/output error"},
      {0, true, "", false, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failing_flush);
    TempFolder a, b;
    std::vector<std::shared_ptr<fs::Folder>> folders;
    for (const TempFolder* dir : {&a, &b}) {
      test::write_bytes(dir->file("File CRCs.TXT"), "earlier");
      auto folder = std::make_shared<fs::Folder>();
      ASSERT_TRUE(folder->open(dir->folder_path(), nullptr));
      folders.push_back(folder);
    }
    test::FsOverride fault;
    fault.ops().flush_volume = counted_flush;
    if (!row.identities) fault.ops().identity = no_identity;
    g_failing_flush = row.failing_flush;
    g_flushes = 0;
    SaveBatch batch(8, std::chrono::seconds(60));
    for (const auto& folder : folders) {
      TextFileWriter writer;
      fs::SysError err;
      ASSERT_TRUE(writer.open(*folder, "File CRCs.TXT", &err)) << err.message;
      writer.write("new");
      const std::size_t number = batch.stage(writer, folder, "File CRCs.TXT", &err);
      EXPECT_EQ(number, batch.size() - 1) << err.message;
    }
    EXPECT_FALSE(batch.due());  // neither full nor old
    // Staged, not yet in place: the earlier files stand until the commit.
    EXPECT_EQ(test::read_bytes(a.file("File CRCs.TXT")), "earlier");
    const std::vector<SaveBatch::Outcome> outcomes = batch.commit();
    EXPECT_EQ(g_flushes, row.flushes);
    ASSERT_EQ(outcomes.size(), 2u);
    for (const SaveBatch::Outcome& outcome : outcomes) {
      EXPECT_EQ(outcome.saved, row.failing_flush == 0);
      EXPECT_EQ(outcome.error.message, row.error);
    }
    for (const TempFolder* dir : {&a, &b}) {
      EXPECT_EQ(test::read_bytes(dir->file("File CRCs.TXT")),
                row.new_in_place ? "new\r\n" : "earlier");
      EXPECT_EQ(file_count(*dir), 1u);  // no temporary file left behind
    }
  }
}

TEST(SaveTextFile, MissingFolderIsReportedWithTheSystemsReason) {
  TempFolder dir;
  fs::SysError err;
  EXPECT_FALSE(SAVETEXTFILE(dir.file("no such folder") + fs::separator() + "x.TXT", "t", &err));
  EXPECT_NE(err.code, 0);
  EXPECT_FALSE(err.message.empty());
}

}  // namespace
}  // namespace sw

namespace sw {
namespace {

// A second run in a folder whose files wait, staged, for their batch's commit: it takes them for
// another writer's, which they are, and leaves them alone; the commit then puts them in place.
TEST(SaveBatch, AnotherRunWhileABatchWaitsLeavesItsStagedFilesAlone) {
  test::TempFolder dir;
  test::write_bytes(dir.file("a"), "a");
  test::write_bytes(dir.file("File CRCs.TXT"), "earlier");
  auto folder = std::make_shared<fs::Folder>();
  ASSERT_TRUE(folder->open(dir.folder_path(), nullptr));
  SaveBatch batch(8, std::chrono::seconds(60));
  TextFileWriter writer;
  fs::SysError err;
  ASSERT_TRUE(writer.open(*folder, "File CRCs.TXT", &err)) << err.message;
  writer.write("staged");
  ASSERT_EQ(batch.stage(writer, folder, "File CRCs.TXT", &err), 0u) << err.message;

  // The other run, with its own handle on the folder, tidies what it takes for abandoned.
  struct Quiet : RunFrontEnd {
    bool ask(Question, std::string_view) override { return false; }
    void show_file(const std::string&) override {}
    void report_write_failure(const std::string&, const fs::SysError&) override {}
  } other;
  fs::Folder again;
  ASSERT_TRUE(again.open(dir.folder_path(), nullptr));
  RunPlan plan;
  plan.write_listing = false;
  plan.compare = CompareChoice::kNo;
  const RunReport r = run_folder(other, again, plan);
  EXPECT_EQ(r.listing.own_temporaries.size(), 1u);  // it saw the staged file, and let it be

  const std::vector<SaveBatch::Outcome> outcomes = batch.commit();
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_TRUE(outcomes[0].saved) << outcomes[0].error.message;
  EXPECT_EQ(test::read_bytes(dir.file("File CRCs.TXT")), "staged\r\n");
}

}  // namespace
}  // namespace sw
