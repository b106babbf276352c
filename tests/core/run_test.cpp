#include "core/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/handle_budget.h"
#include "core/os/thread.h"
#include "core/stop.h"
#include "core/tree_run.h"
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
  void report_not_durable(const std::string& path, const fs::SysError& e) override {
    events.push_back("in place " + path + ": " + e.message);
  }
  void report_comparison_elsewhere(const std::string& intended, const fs::SysError& e,
                                   const std::string& written) override {
    events.push_back("elsewhere " + intended + ": " + e.message + " -> " + written);
  }
  void report_listing_problems(const std::string&, const Listing& listing) override {
    events.push_back("problems: " + std::to_string(listing.unreadable.size()) + " unreadable" +
                     (listing.enumerated ? "" : ", " + listing.enumerate_error.message));
  }
  void report_earlier_damage(const std::string&, const Comparison&) override {
    events.push_back("damage");
  }
  void report_unmodified_changes(const std::string&, const Comparison&) override {
    events.push_back("unmodified");
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

  // A flush that fails once the files are in place: never "unchanged", since they are not.
  fault.ops().flush = fs::platform_ops().flush;
  fault.ops().flush_folder = [](fs::Handle, fs::SysError* e) { return test::inject(e, "EIO"); };
  ScriptedFrontEnd after;
  after.answers = {true, false};
  const RunReport placed = run(after);
  const std::string said = ": written, but not known to be durable: EIO";
  EXPECT_EQ(after.events, (std::vector<std::string>{kCompareAsk, "in place " + comparison() + said,
                                                    "show " + comparison(),
                                                    "in place " + listing() + said, kShowAsk}));
  EXPECT_TRUE(placed.listing_placed && !placed.listing_saved);
  EXPECT_NE(test::read_bytes(listing()), before);
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

bool enumeration_failing_at_once(fs::Handle, bool, fs::DirEntries*, fs::SysError* err) {
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

// Plays a user who asks to stop at one step of the run: at the event that begins with `at`.
struct StoppingFrontEnd : ScriptedFrontEnd {
  std::string at;
  StopRequest stop;
  std::size_t events_at_stop = 0;
  void note() {
    if (!stop.requested() && !events.empty() && events.back().starts_with(at)) {
      stop.request();
      events_at_stop = events.size();
    }
  }
  void on_bytes(std::uint64_t count) override {
    if (count > 0) events.push_back("bytes");
    note();
  }
  bool ask(Question q, std::string_view text) override {
    const bool yes = ScriptedFrontEnd::ask(q, text);
    note();
    return yes;
  }
  void show_file(const std::string& path) override {
    ScriptedFrontEnd::show_file(path);
    note();
  }
  void report_listing_problems(const std::string& f, const Listing& l) override {
    ScriptedFrontEnd::report_listing_problems(f, l);
    note();
  }
  void report_earlier_damage(const std::string& p, const Comparison& c) override {
    ScriptedFrontEnd::report_earlier_damage(p, c);
    note();
  }
  void report_unmodified_changes(const std::string& f, const Comparison& c) override {
    ScriptedFrontEnd::report_unmodified_changes(f, c);
    note();
  }
};

StoppingFrontEnd* g_stopping = nullptr;  // asked to stop once the comparison reads on
std::thread::id g_run_thread;            // the comparison reads on the run's own thread

TEST_F(RunTest, AStopAtAnyStepWritesShowsAndAsksNothingMore) {
  // A run that meets every step: a large file read in pieces, a file that cannot be read, the
  // question, a comparison long enough to be read in many pieces, an earlier listing cut short,
  // a file changed without being modified, the comparison shown, the second question.
  namespace stdfs = std::filesystem;
  test::write_bytes(dir.file("locked.txt"), "held");
  test::write_bytes(dir.file("damaged"), "before");
  first_run();
  std::string earlier = test::read_bytes(listing());
  earlier.resize(earlier.size() - 2);  // no closing empty line: cut short
  for (int i = 0; i < 4000; ++i) earlier += "gone " + std::to_string(i) + "  1234ABCD\r\n";
  earlier.resize(earlier.size() - 2);
  test::write_bytes(listing(), earlier);
  const auto listed = stdfs::last_write_time(listing());
  test::write_bytes(dir.file("damaged"), "after!");
  stdfs::last_write_time(dir.file("damaged"), listed - std::chrono::hours(1));
  test::write_bytes(dir.file("big.bin"), std::string(6 * ReadBuffer::kDefaultSize, 'b'));

  const std::string show_comparison = "show " + comparison(), show_listing = "show " + listing();
  struct Row {
    const char* at;
    bool comparison_written, listing_written;
  };
  const Row rows[] = {
      {"bytes", false, false},     // a file read part-way
      {"problems", false, false},  // the box of files that could not be read
      {kCompareAsk.c_str(), false, false},
      {"compare", false, false},    // the comparison part-way
      {"damage", true, false},      // the box of the earlier listing cut short
      {"unmodified", true, false},  // the box of possible damage
      {show_comparison.c_str(), true, false},
      {kShowAsk.c_str(), true, true},  // the listing was written before it was offered
      {show_listing.c_str(), true, true},
  };
  test::FsOverride fault;
  fault.ops().open_read = [](fs::Handle folder, const std::string& name, fs::FileFacts* facts,
                             fs::Handle* h, fs::SysError* err) {
    if (name == "locked.txt") return test::inject(err, "held by another process");
    return fs::platform_ops().open_read(folder, name, facts, h, err);
  };
  // Reads of the earlier listing on the run's thread once the question is answered are the
  // comparison's (the readers' threads read the folder's files, and leave the events alone).
  g_run_thread = std::this_thread::get_id();
  fault.ops().read = [](fs::Handle h, void* buffer, std::size_t size, std::size_t* got,
                        fs::SysError* err) {
    StoppingFrontEnd& user = *g_stopping;
    if (std::this_thread::get_id() == g_run_thread && user.at == "compare" &&
        !user.stop.requested() && !user.events.empty() && user.events.back() == kCompareAsk) {
      user.events.push_back("compare");
      user.note();
    }
    return fs::platform_ops().read(h, buffer, size, got, err);
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.at);
    test::write_bytes(listing(), earlier);
    stdfs::last_write_time(listing(), listed);
    stdfs::remove(comparison());
    StoppingFrontEnd user;
    g_stopping = &user;
    user.at = row.at;
    user.answers = {true, true};
    RunPlan plan;
    plan.stop = &user.stop;
    run(user, plan);
    ASSERT_TRUE(user.stop.requested()) << "the run never came to the step";
    // Nothing happened after the stop: nothing shown, asked or reported.
    EXPECT_EQ(user.events.size(), user.events_at_stop) << user.events.back();
    EXPECT_EQ(test::exists(comparison()), row.comparison_written);
    EXPECT_EQ(test::read_bytes(listing()) != earlier, row.listing_written);
    for (const auto& e : stdfs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
  }
  g_stopping = nullptr;
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

namespace sw {
namespace {

// Plays the user of a tree: answers yes, and writes down what it hears of each folder.
class TreeLog : public TreeFrontEnd {
 public:
  std::vector<std::string> events;
  std::set<std::string> wrote;
  StopRequest stop;
  std::string stop_at;         // the folder (from the top) at whose start the user stops
  std::size_t fail_after = 0;  // a folder's report that finds no memory, counted from 1

  bool ask(Question, std::string_view) override { return true; }
  void on_folder_start(const std::string& relative) override {
    if (!stop_at.empty() && relative == stop_at) stop.request();
  }
  void on_folder_committed(const RunReport& r) override {
    events.push_back("folder " + r.folder_path);
  }
  void report_written(const std::string& path) override {
    events.push_back("wrote " + path);
    wrote.insert(path);
  }
  void show_file(const std::string&) override {}
  void report_write_failure(const std::string& path, const fs::SysError& e) override {
    events.push_back("failed " + path + ": " + e.message);
  }
  void on_folder_done(const RunReport& r, double) override {
    if (fail_after != 0 && events.size() / 4 + 1 >= fail_after) throw std::bad_alloc();
    events.push_back("done " + r.folder_path);
  }
};

class RunTree : public ::testing::Test {
 protected:
  // The top with a file, 24 folders of two files with a folder of one inside each; every folder
  // has its earlier listing, and a file in each changed since, so that each saves two files.
  RunTree() {
    test::write_bytes(top.file("top.txt"), "top");
    for (int f = 0; f < 24; ++f) {
      const std::string sub = top.file("d" + std::to_string(f));
      std::filesystem::create_directories(sub + "/inner");
      test::write_bytes(sub + "/a", "a" + std::to_string(f));
      test::write_bytes(sub + "/b", "b");
      test::write_bytes(sub + "/inner/c", "c");
    }
    TreeLog first;
    run(first);
    for (int f = 0; f < 24; ++f) test::write_bytes(top.file("d" + std::to_string(f) + "/b"), "B");
    earlier = files_named("File CRCs.TXT");
  }

  // What the run of the whole tree said and wrote, with a plan and a budget of its own.
  TreeOutcome run(TreeLog& log, std::size_t handles = 1024) {
    fs::Folder folder;
    fs::SysError err;
    EXPECT_TRUE(folder.open(top.folder_path(), &err)) << err.message;
    HandleBudget budget(handles);
    RunPlan plan;
    plan.stop = &log.stop;
    plan.compare = CompareChoice::kYes;
    plan.readers = budget.take_readers(ChecksumPass::kDefaultReaders);
    return run_tree(log, std::move(folder), plan, budget);
  }

  // Every file of that name in the tree, by path; and that no temporary file is left anywhere.
  std::map<std::string, std::string> files_named(const std::string& name) {
    std::map<std::string, std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(top.path())) {
      EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
      if (e.path().filename() == name)
        found[e.path().string()] = test::read_bytes(e.path().string());
    }
    return found;
  }

  void put_back_earlier() {
    for (const auto& [path, text] : earlier) test::write_bytes(path, text);
    for (const auto& [path, text] : files_named("CRC Comparison.TXT"))
      std::filesystem::remove(path);
  }

  TempFolder top;
  std::map<std::string, std::string> earlier;
};

fs::ThreadHandle g_no_thread = 0;
bool no_thread(const fs::ThreadStart*, std::size_t, fs::ThreadHandle*, fs::SysError* err) {
  ++g_no_thread;
  return test::inject(err, "Resource temporarily unavailable");
}

// Without threads (the readers, the commit and the enumeration's helper work on the calling
// thread) and with few files to open (the walk waits, batches are committed sooner), a tree says
// and writes the same, in the same order.
TEST_F(RunTree, WithoutThreadsAndWithFewHandlesATreeSaysAndWritesTheSame) {
  TreeLog as_is;
  EXPECT_EQ(run(as_is).folders, 49u);
  ASSERT_EQ(as_is.events.size(), 49u * 4);
  const std::map<std::string, std::string> listings = files_named("File CRCs.TXT");
  const std::map<std::string, std::string> comparisons = files_named("CRC Comparison.TXT");
  ASSERT_EQ(comparisons.size(), 49u);
  struct Row {
    const char* what;
    bool threads;
    std::size_t handles;
  };
  const Row rows[] = {{"no thread to be had", false, 1024},
                      {"few files to open", true, HandleBudget::kFloor + 1},
                      {"neither", false, HandleBudget::kFloor}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    put_back_earlier();
    test::FsOverride fault;
    if (!row.threads) fault.ops().start_thread = no_thread;
    g_no_thread = 0;
    TreeLog log;
    EXPECT_EQ(run(log, row.handles).folders, 49u);
    EXPECT_EQ(log.events, as_is.events);
    EXPECT_EQ(files_named("File CRCs.TXT"), listings);
    EXPECT_EQ(files_named("CRC Comparison.TXT"), comparisons);
    // Where files are few the pass has no reader and each batch is committed as the walk waits:
    // there is no thread to ask for.
    if (!row.threads && row.handles == 1024) {
      EXPECT_GT(g_no_thread, 0u);
    }
  }
}

// A stop at any folder, or a failure (no memory) while a folder is reported: each folder has its
// earlier listing or a new one whole, no staged file is left, and each folder reported as written
// has its new listing; after a stop, exactly those.
TEST_F(RunTree, AStopOrAFailureMidTreeLeavesOldOrWholeNewListingsAndNoStagedFile) {
  const std::string inner = std::string("d13") + fs::separator() + "inner";
  for (const std::string& at : {std::string("d0"), inner, std::string("d9"), std::string("d23")}) {
    SCOPED_TRACE(at);
    put_back_earlier();
    TreeLog log;
    log.stop_at = at;
    const TreeOutcome outcome = run(log);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_LT(outcome.folders, 49u);
    for (const auto& [path, text] : files_named("File CRCs.TXT")) {
      EXPECT_EQ(text != earlier.at(path), log.wrote.count(path) == 1) << path;
    }
  }
  for (const std::size_t fail_after : {1u, 7u, 30u}) {
    SCOPED_TRACE(fail_after);
    put_back_earlier();
    TreeLog log;
    log.fail_after = fail_after;
    EXPECT_THROW(run(log), std::bad_alloc);
    for (const auto& [path, text] : files_named("File CRCs.TXT")) {
      if (log.wrote.count(path) == 1) {
        EXPECT_NE(text, earlier.at(path)) << path;
      }
      EXPECT_TRUE(text == earlier.at(path) || text.ends_with("\r\n\r\n")) << path;
    }
  }
}

// Memory the system will not give, through the seam: the readers' buffers first (the calling
// thread then reads every file, with the same result), then all of it (the tree ends before it
// has written anything, every earlier listing as it was).
std::atomic<int> g_pages_left{0};
void* pages_while_they_last(std::size_t size, bool huge) {
  if (g_pages_left.fetch_sub(1) <= 0) return nullptr;
  return fs::platform_ops().map_pages(size, huge);
}

TEST_F(RunTree, NoMemoryForTheReadersIsSlowerAndNoneAtAllEndsTheTreeWithNothingWritten) {
  TreeLog as_is;
  run(as_is);
  const std::map<std::string, std::string> listings = files_named("File CRCs.TXT");
  test::FsOverride fault;
  fault.ops().map_pages = pages_while_they_last;
  put_back_earlier();
  g_pages_left = 1;  // the calling thread's buffer, and no more
  TreeLog few;
  EXPECT_EQ(run(few).folders, 49u);
  EXPECT_EQ(few.events, as_is.events);
  EXPECT_EQ(files_named("File CRCs.TXT"), listings);
  put_back_earlier();
  g_pages_left = 0;
  TreeLog none;
  EXPECT_THROW(run(none), std::bad_alloc);
  EXPECT_TRUE(none.events.empty());
  EXPECT_EQ(files_named("File CRCs.TXT"), earlier);
}

// A tree seen through the seam: below the real top, a folder "c" inside each folder, and a file
// of one byte beside it, kDepth deep; each folder's identity repeats every `g_ids_every` levels
// (0: never), as a bind mount of a folder's own ancestor would make it.
constexpr fs::Handle kDeepBase = fs::Handle{1} << 24;
constexpr fs::Handle kDepth = 5000;
fs::Handle g_top = fs::kNoHandle;
fs::Handle g_ids_every = 0;
fs::Handle depth_of(fs::Handle h) {
  return h == g_top ? 0 : h - kDeepBase;
}
bool in_deep_tree(fs::Handle h) {
  return h == g_top || h > kDeepBase;
}

TEST(MeasureTree, ADeepTreeOrOneInsideItselfIsMeasuredOnAThreadsStackAndEnds) {
  TempFolder top;
  fs::Folder folder;
  fs::SysError err;
  ASSERT_TRUE(folder.open(top.folder_path(), &err)) << err.message;
  g_top = folder.get();
  test::FsOverride deep;
  deep.ops().open_subfolder = [](fs::Handle parent, const std::string& name,
                                 const std::string& path, fs::Handle* out, fs::SysError* e) {
    if (!in_deep_tree(parent)) return fs::platform_ops().open_subfolder(parent, name, path, out, e);
    *out = kDeepBase + depth_of(parent) + 1;
    return true;
  };
  deep.ops().close_folder = [](fs::Handle h) {
    if (!in_deep_tree(h)) fs::platform_ops().close_folder(h);
  };
  deep.ops().identity = [](fs::Handle h, const std::string& name, fs::FileId* out,
                           fs::SysError* e) {
    if (h <= kDeepBase) return fs::platform_ops().identity(h, name, out, e);
    const fs::Handle depth = depth_of(h);
    *out = {99, static_cast<std::uint64_t>(g_ids_every == 0 ? depth : depth % g_ids_every)};
    return true;
  };
  deep.ops().list_folder = [](fs::Handle h, bool sizes, fs::DirEntries* out, fs::SysError* e) {
    if (!in_deep_tree(h)) return fs::platform_ops().list_folder(h, sizes, out, e);
    out->clear();
    if (depth_of(h) == kDepth) return true;
    fs::DirEntry sub, file;
    sub.name = "c";
    sub.kind = fs::EntryKind::kDirectory;
    file.name = "f";
    file.kind = fs::EntryKind::kFile;
    file.size = 1;
    out->push_back(sub);
    out->push_back(file);
    return true;
  };
  struct Row {
    const char* what;
    fs::Handle ids_every;
    std::uint64_t folders, files;  // each file of one byte
  };
  const Row rows[] = {
      {"a chain of folders far deeper than a small stack holds", 0, kDepth + 1, kDepth},
      {"a folder inside itself, two levels down", 2, 3, 3}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    g_ids_every = row.ids_every;
    TreeSize size;
    Thread small;
    ASSERT_TRUE(small.start([&] { size = measure_tree(folder, nullptr); }, &err, 64 * 1024));
    EXPECT_EQ(small.join(), nullptr);
    EXPECT_EQ(size.folders, row.folders);
    EXPECT_EQ(size.files, row.files);
    EXPECT_EQ(size.bytes, row.files);
  }
}

}  // namespace
}  // namespace sw
