#include "core/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fs_fault.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::TempFolder;

// Plays the user: the answers to give, and records what it was shown.
class ScriptedFrontEnd : public RunFrontEnd {
 public:
  std::deque<bool> answers;

  std::vector<std::string> events;
  std::string name_label, crc_label;

  void on_name(std::string_view name) override { name_label = name; }
  void on_checksum(std::string_view text) override { crc_label = text; }
  void on_listing_done() override { name_label = crc_label = std::string(kDoneText); }
  bool ask(Question, std::string_view text) override {
    events.push_back("ask " + std::string(text));
    if (answers.empty()) ADD_FAILURE() << "unexpected question: " << text;
    const bool yes = !answers.empty() && answers.front();
    if (!answers.empty()) answers.pop_front();
    return yes;
  }
  void show_file(const std::string& path) override { events.push_back("show " + path); }
  void report_write_failure(const std::string& path, const fs::SysError& e) override {
    events.push_back("failed " + path + ": " + e.message);
  }
  void report_comparison_elsewhere(const std::string& intended, const fs::SysError& e,
                                   const std::string& written) override {
    events.push_back("elsewhere " + intended + ": " + e.message + " -> " + written);
  }
  void report_listing_problems(const std::string&, const Listing& listing) override {
    events.push_back("problems: " + std::to_string(listing.unreadable.size()) + " unreadable" +
                     (listing.enumerated ? "" : ", " + listing.enumerate_error.message));
  }
};

const std::string kCompareAsk = "ask Existing CRC List Found, Do You Want To Compare?";
const std::string kShowAsk = "ask Do you want to see newly generated CRCs?";

class RunTest : public ::testing::Test {
 protected:
  RunTest() { test::write_bytes(dir.file("a.txt"), "123456789"); }
  std::string listing() const { return dir.file("File CRCs.TXT"); }
  std::string comparison() const { return dir.file("CRC Comparison.TXT"); }
  RunReport run(RunFrontEnd& front_end, const RunPlan& plan = {}) {
    fs::Folder folder;
    fs::SysError err;
    EXPECT_TRUE(folder.open(dir.folder_path(), &err)) << err.message;
    return run_folder(front_end, folder, plan);
  }
  RunReport run(const RunPlan& plan = {}) { return run(ui, plan); }
  void first_run() {
    ScriptedFrontEnd quiet;
    run(quiet);
  }

  TempFolder dir;
  ScriptedFrontEnd ui;
};

TEST_F(RunTest, FirstRunWritesAndShowsTheListing) {
  const RunReport r = run();
  EXPECT_EQ(ui.events, (std::vector<std::string>{"show " + listing()}));
  EXPECT_EQ(ui.name_label, "Done");
  EXPECT_EQ(ui.crc_label, "Done");
  EXPECT_TRUE(r.listing_saved);
  EXPECT_EQ(r.folder_path, dir.folder_path());
}

TEST_F(RunTest, YesThenYesShowsComparisonThenListing) {
  first_run();
  ui.answers = {true, true};
  const RunReport r = run();
  EXPECT_EQ(ui.events, (std::vector<std::string>{kCompareAsk, "show " + comparison(), kShowAsk,
                                                 "show " + listing()}));
  EXPECT_TRUE(r.comparison_saved);
  EXPECT_NE(test::read_bytes(comparison()).find("OK\r\n"), std::string::npos);
}

TEST_F(RunTest, YesThenNoShowsOnlyTheComparisonButStillWritesTheListing) {
  first_run();
  test::write_bytes(dir.file("b.txt"), "new file");
  ui.answers = {true, false};
  run();
  EXPECT_EQ(ui.events, (std::vector<std::string>{kCompareAsk, "show " + comparison(), kShowAsk}));
  EXPECT_NE(test::read_bytes(listing()).find("b.txt"), std::string::npos);
}

TEST_F(RunTest, NoKeepsTheOlderComparisonAndShowsTheListingAtOnce) {
  first_run();
  test::write_bytes(comparison(), "older comparison");
  ui.answers = {false};
  run();
  EXPECT_EQ(ui.events, (std::vector<std::string>{kCompareAsk, "show " + listing()}));
  EXPECT_EQ(test::read_bytes(comparison()), "older comparison");
}

TEST_F(RunTest, EarlierFileThatIsNotAListingIsReplacedWithoutAQuestion) {
  test::write_bytes(listing(), "my own notes\r\n");
  run();
  EXPECT_EQ(ui.events, (std::vector<std::string>{"show " + listing()}));
  EXPECT_EQ(test::read_bytes(listing()).rfind("File CRCs For Folder:", 0), 0u);
}

TEST_F(RunTest, WriteFailuresAreReportedAndTheFilesAreNotShown) {
  first_run();
  const std::string before = test::read_bytes(listing());
  test::write_bytes(dir.file("b.txt"), "changes the listing");
  test::FsOverride fault;
  fault.ops().flush = [](fs::Handle, fs::SysError* e) { return test::inject(e, "disk full"); };
  ui.answers = {true};
  const RunReport r = run();
  EXPECT_EQ(ui.events,
            (std::vector<std::string>{kCompareAsk, "failed " + comparison() + ": disk full",
                                      "failed " + listing() + ": disk full"}));
  EXPECT_FALSE(r.listing_saved);
  EXPECT_FALSE(r.comparison_saved);
  EXPECT_EQ(test::read_bytes(listing()), before);
  EXPECT_FALSE(test::exists(comparison()));
}

// The folder of a run on read-only media: nothing can be created in it.
fs::Handle g_read_only = fs::kNoHandle;
fs::Created create_nothing_in_read_only(fs::Handle folder, const std::string& name,
                                        std::uint32_t keep, fs::Handle* h, fs::SysError* err) {
  if (folder != g_read_only) return fs::platform_ops().create_new(folder, name, keep, h, err);
  test::inject(err, "read-only medium");
  return fs::Created::kFailed;
}

TEST_F(RunTest, AComparisonTheFolderCannotTakeIsWrittenToTheFallbackFolderAndShownFromThere) {
  first_run();
  TempFolder elsewhere;
  fs::Folder folder;
  fs::SysError err;
  ASSERT_TRUE(folder.open(dir.folder_path(), &err)) << err.message;
  test::FsOverride fault;
  g_read_only = folder.get();
  fault.ops().create_new = create_nothing_in_read_only;
  const std::string written = elsewhere.file("CRC Comparison.TXT");
  RunPlan plan;
  plan.comparison_fallback_folder = elsewhere.folder_path();
  ui.answers = {true};
  const RunReport r = run_folder(ui, folder, plan);
  EXPECT_EQ(ui.events,
            (std::vector<std::string>{
                kCompareAsk, "elsewhere " + comparison() + ": read-only medium -> " + written,
                "show " + written, "failed " + listing() + ": read-only medium"}));
  EXPECT_EQ(r.comparison.count(Status::kOk), 1u);
  EXPECT_EQ(test::read_bytes(written).rfind("Comparison listing for Folder ", 0), 0u);

  // A fallback folder that cannot take it either: the folder's own reason is reported.
  ScriptedFrontEnd again;
  again.answers = {true};
  plan.comparison_fallback_folder = elsewhere.file("gone") + std::string(1, fs::separator());
  run_folder(again, folder, plan);
  EXPECT_EQ(again.events,
            (std::vector<std::string>{kCompareAsk, "failed " + comparison() + ": read-only medium",
                                      "failed " + listing() + ": read-only medium"}));
  g_read_only = fs::kNoHandle;
}

TEST_F(RunTest, UnreadableFilesAreReportedBeforeAnyQuestion) {
  first_run();
  test::FsOverride fault;
  fault.ops().open_read = [](fs::Handle folder, const std::string& name, fs::FileFacts* size,
                             fs::Handle* h, fs::SysError* err) {
    if (name == "a.txt") return test::inject(err, "held by another process");
    return fs::platform_ops().open_read(folder, name, size, h, err);
  };
  ui.answers = {true, false};
  const RunReport r = run();
  EXPECT_EQ(ui.events, (std::vector<std::string>{"problems: 1 unreadable", kCompareAsk,
                                                 "show " + comparison(), kShowAsk}));
  // Its "0" now is not its checksum: never "OK", nor a mismatch.
  EXPECT_EQ(r.comparison.count(Status::kUnreadable), 1u);
  EXPECT_EQ(r.comparison.count(Status::kOk), 0u);
}

bool enumeration_failing_at_once(fs::Handle, bool, std::vector<fs::DirEntry>*, fs::SysError* err) {
  return test::inject(err, "network name no longer available");
}

TEST_F(RunTest, AnIncompleteEnumerationIsReportedAndNeitherComparedNorWritten) {
  first_run();
  const std::string before = test::read_bytes(listing());
  test::FsOverride fault;
  fault.ops().list_folder = enumeration_failing_at_once;
  const RunReport r = run();
  EXPECT_EQ(ui.events,
            (std::vector<std::string>{"problems: 0 unreadable, network name no longer available"}));
  EXPECT_FALSE(r.listing_saved);
  EXPECT_EQ(test::read_bytes(listing()), before);  // the earlier listing keeps every file
}

TEST_F(RunTest, AStoppedRunEndsAtTheNextFileAndWritesNothing) {
  first_run();
  const std::string before = test::read_bytes(listing());
  for (const char* name : {"b.txt", "c.txt", "d.txt"}) test::write_bytes(dir.file(name), name);
  struct Stopping : ScriptedFrontEnd {
    int names = 0;
    void on_name(std::string_view) override { ++names; }
    bool stop_requested() override { return names == 2; }
  } stopping;
  const RunReport r = run(stopping);
  EXPECT_TRUE(r.listing.stopped);
  EXPECT_EQ(stopping.names, 2);
  EXPECT_EQ(stopping.events, std::vector<std::string>{});  // no question, nothing shown
  EXPECT_EQ(test::read_bytes(listing()), before);
  EXPECT_FALSE(test::exists(comparison()));

  // Stopped while the question was open: yes or no, nothing is written either.
  struct StoppedAtTheQuestion : ScriptedFrontEnd {
    bool asked = false;
    bool ask(Question, std::string_view) override { return asked = true; }
    bool stop_requested() override { return asked; }
  } at_question;
  EXPECT_TRUE(run(at_question).listing.stopped);
  EXPECT_TRUE(at_question.asked);
  EXPECT_EQ(test::read_bytes(listing()), before);
  EXPECT_FALSE(test::exists(comparison()));
}

TEST_F(RunTest, ChangedFilesAreToldEditedOrUnmodifiedByTheirTimes) {
  namespace stdfs = std::filesystem;
  struct Row {
    const char* name;
    int seconds;  // the file's time after its change, from the earlier listing's
    bool modified_after_listing;
  };
  const Row rows[] = {
      {"edited", 60, true},           // changed and modified after the listing
      {"bit-flipped", -3600, false},  // changed, its old time put back
      {"older-copy", -86400, false},  // an older copy put back
      {"coarse-clock", -1, true},     // within the two seconds a FAT time may be off
  };
  for (const Row& row : rows) test::write_bytes(dir.file(row.name), "before");
  first_run();
  const auto listed = stdfs::last_write_time(listing()) - std::chrono::hours(2);
  stdfs::last_write_time(listing(), listed);
  for (const Row& row : rows) {
    test::write_bytes(dir.file(row.name), "after!");
    stdfs::last_write_time(dir.file(row.name), listed + std::chrono::seconds(row.seconds));
  }
  ScriptedFrontEnd quiet;
  quiet.answers = {false};
  RunPlan plan;
  plan.compare = CompareChoice::kYes;
  const RunReport r = run(quiet, plan);
  ASSERT_EQ(r.comparison.count(Status::kMismatch), std::size(rows));
  for (const ComparedLine& p : r.comparison.problems) {
    const std::string name(name_column(p.old_line));
    const auto row = std::find_if(std::begin(rows), std::end(rows),
                                  [&name](const Row& w) { return name == w.name; });
    ASSERT_NE(row, std::end(rows)) << name;
    EXPECT_EQ(p.modified_after_listing, row->modified_after_listing) << name;
  }
  EXPECT_EQ(r.comparison.unmodified_mismatches, 2u);
  std::vector<std::string> names = r.comparison.unmodified_names;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"bit-flipped", "older-copy"}));
}

TEST_F(RunTest, ThePlanMayAnswerTheComparisonItself) {
  first_run();
  for (const CompareChoice choice : {CompareChoice::kYes, CompareChoice::kNo}) {
    const bool yes = choice == CompareChoice::kYes;
    ScriptedFrontEnd quiet;
    if (yes) quiet.answers = {false};  // not the listing too
    RunPlan plan;
    plan.compare = choice;
    const RunReport r = run(quiet, plan);
    EXPECT_FALSE(r.comparison_asked);
    EXPECT_EQ(r.comparison_accepted, yes);
    // The listing is only offered after a comparison that was shown.
    const std::vector<std::string> shown =
        yes ? std::vector<std::string>{"show " + comparison(), kShowAsk}
            : std::vector<std::string>{"show " + listing()};
    EXPECT_EQ(quiet.events, shown);
  }
}

}  // namespace
}  // namespace sw
