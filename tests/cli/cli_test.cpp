// The sumwright command run as a separate process, as users and scripts run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "cli/visible.h"
#include "tests/support/temp_folder.h"

namespace sw {
namespace {

using test::TempFolder;
using test::write_bytes;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs sumwright with stdin from /dev/null (no terminal), capturing both output streams
// (standard output goes to `stdout_to` instead when one is given).
Outcome run(const std::string& args, const std::string& env = "",
            const std::string& stdout_to = "") {
  TempFolder capture;
  const std::string out = capture.file("out"), err = capture.file("err");
  const std::string cmd = env + " " + shell_quote(SUMWRIGHT_CLI_PATH) + " " + args + " <" +
                          "/dev/null >" + shell_quote(stdout_to.empty() ? out : stdout_to) + " 2>" +
                          shell_quote(err);
  const int raw = std::system(cmd.c_str());
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = test::read_bytes(out);
  o.err = test::read_bytes(err);
  return o;
}

// Runs sumwright with a limit of the system's set on it (setrlimit, soft and hard), as ulimit sets
// it, and nothing else of the shell's in the way: standard input from /dev/null, both output
// streams captured.
Outcome run_limited(std::vector<std::string> args, int resource, rlim_t value) {
  TempFolder capture;
  const std::string out = capture.file("out"), err = capture.file("err");
  std::vector<char*> argv = {const_cast<char*>(SUMWRIGHT_CLI_PATH)};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    const struct rlimit limit = {value, value};
    if (::setrlimit(resource, &limit) != 0) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = test::read_bytes(out);
  o.err = test::read_bytes(err);
  return o;
}

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST(Cli, UsageVersionAndBadFolders) {
  EXPECT_EQ(run("").status, 2);
  EXPECT_TRUE(contains(run("").err, "missing FOLDER"));
  EXPECT_EQ(run("--frobnicate x").status, 2);
  EXPECT_EQ(run("a b").status, 2);
  const Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(contains(help.out, "Usage: sumwright"));
  EXPECT_TRUE(contains(run("--version").out, "sumwright "));

  TempFolder dir;
  const Outcome missing = run(shell_quote(dir.file("nope")));
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(contains(missing.err, dir.file("nope") + ": No such file or directory"));
  write_bytes(dir.file("plain"), "x");
  const Outcome notdir = run(shell_quote(dir.file("plain")));
  EXPECT_EQ(notdir.status, 2);
  EXPECT_TRUE(contains(notdir.err, "Not a directory"));
}

TEST(Cli, FirstRunWritesTheExactListingAndNamesIt) {
  TempFolder dir;
  write_bytes(dir.file("a.txt"), "123456789");
  const std::string folder = dir.path().string();  // no trailing "/": one is added
  const Outcome o = run(shell_quote(folder));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(test::read_bytes(dir.file("File CRCs.TXT")),
            "File CRCs For Folder:\r\n" + folder + "/\r\n" + std::string(41, '-') + "\r\n" +
                "a.txt" + std::string(35, ' ') + "CBF43926\r\n\r\n");
  EXPECT_TRUE(contains(o.out, "Wrote " + folder + "/File CRCs.TXT\n"));
  EXPECT_TRUE(contains(o.out, "Listed 1 file, 9 B"));
  EXPECT_EQ(o.err, "");  // no progress when standard error is not a terminal
  // A folder given with its trailing "/" gets no second one.
  run(shell_quote(folder + "/") + " --no-compare");
  EXPECT_TRUE(contains(test::read_bytes(dir.file("File CRCs.TXT")), "\r\n" + folder + "/\r\n"));
}

TEST(Cli, ComparisonStatusesReachTheExitStatusAndTheSummary) {
  TempFolder dir;
  write_bytes(dir.file("keep"), "same");
  write_bytes(dir.file("change"), "before");
  write_bytes(dir.file("remove"), "soon gone");
  write_bytes(dir.file("break"), "readable at first");
  ASSERT_EQ(run(shell_quote(dir.path().string())).status, 0);

  const Outcome unchanged = run(shell_quote(dir.path().string()));  // no terminal: compares
  EXPECT_EQ(unchanged.status, 0) << unchanged.out;
  EXPECT_TRUE(test::exists(dir.file("CRC Comparison.TXT")));

  write_bytes(dir.file("change"), "after");
  std::filesystem::remove(dir.path() / "remove");
  write_bytes(dir.file("added"), "new");
  std::filesystem::remove(dir.path() / "break");  // still here, but it cannot be read
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("break"));
  const Outcome o = run(shell_quote(dir.path().string()));
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(contains(o.out,
                       "1 OK, 1 CRC Missmatch, 1 Not Found in This Folder, 1 Could Not Be Read, "
                       "1 Skipped"))
      << o.out;
  EXPECT_TRUE(contains(o.out, "  CRC Missmatch: change "));
  EXPECT_TRUE(contains(o.out, "  Not Found in This Folder: remove "));
  EXPECT_TRUE(contains(o.out, "  Could Not Be Read: break "));
  // New files stay out of the file itself.
  EXPECT_FALSE(contains(test::read_bytes(dir.file("CRC Comparison.TXT")), "added"));
  // Unreadable in both runs: its "0" matches the earlier "0", and still it is not "OK".
  const Outcome again = run(shell_quote(dir.path().string()));
  EXPECT_EQ(again.status, 1);
  EXPECT_TRUE(contains(again.out, "  Could Not Be Read: break "));
  EXPECT_TRUE(contains(
      test::read_bytes(dir.file("CRC Comparison.TXT")),
      "break" + std::string(35, ' ') + "0" + std::string(29, ' ') + "Could Not Be Read\r\n"));
  EXPECT_TRUE(contains(o.out, "New since the earlier listing:\n  added\n"));
  EXPECT_TRUE(contains(again.out, "Wrote " + dir.file("CRC Comparison.TXT") + "\nWrote " +
                                      dir.file("File CRCs.TXT") + "\n"));

  // Declined up front: no comparison, and nothing to fail on.
  write_bytes(dir.file("CRC Comparison.TXT"), "kept");
  write_bytes(dir.file("change"), "again");
  const Outcome declined = run("--no-compare " + shell_quote(dir.path().string()));
  EXPECT_EQ(declined.status, 0);
  EXPECT_EQ(test::read_bytes(dir.file("CRC Comparison.TXT")), "kept");
}

// Every entry below `top` with its bytes and modification time: what a run that writes nothing
// must leave exactly as it was.
std::map<std::string, std::string> snapshot(const std::filesystem::path& top) {
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(top)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    out[e.path().string()] = (e.is_regular_file() ? test::read_bytes(e.path().string()) : "") +
                             "@" + std::to_string(st.st_mtim.tv_sec) + "." +
                             std::to_string(st.st_mtim.tv_nsec);
  }
  return out;
}

// The files of the comparison test: kept, changed, removed, made unreadable and added.
void change_files(const TempFolder& dir) {
  write_bytes(dir.file("change"), "after");
  std::filesystem::remove(dir.path() / "remove");
  write_bytes(dir.file("added"), "new");
  std::filesystem::remove(dir.path() / "break");
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("break"));
}

// Sets the modification time of `path` to `seconds` from that of `reference`.
void time_from(const std::string& path, const std::string& reference, int seconds) {
  std::filesystem::last_write_time(
      path, std::filesystem::last_write_time(reference) + std::chrono::seconds(seconds));
}

void make_files(const TempFolder& dir) {
  write_bytes(dir.file("keep"), "same");
  write_bytes(dir.file("change"), "before");
  write_bytes(dir.file("remove"), "soon gone");
  write_bytes(dir.file("break"), "readable at first");
}

TEST(Cli, VerifyComparesWithTheBaselineAndWritesNothing) {
  TempFolder dir, elsewhere;
  const std::string folder = shell_quote(dir.path().string());
  const Outcome nothing = run("--verify " + folder);
  EXPECT_EQ(nothing.status, 2);
  EXPECT_TRUE(contains(nothing.err, "no earlier listing to verify against: " +
                                        dir.file("File CRCs.TXT") + " does not exist"))
      << nothing.err;

  make_files(dir);
  ASSERT_EQ(run(folder).status, 0);
  const auto before = snapshot(dir.path());
  const Outcome same = run("--verify " + folder);
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_TRUE(contains(same.out, "Comparison listing for Folder \n" + dir.folder_path() + "\n"));
  EXPECT_TRUE(contains(same.out,
                       "keep" + std::string(36, ' ') + "FC50F144" + std::string(22, ' ') + "OK\n"))
      << same.out;
  EXPECT_TRUE(contains(same.out, "4 OK, 0 CRC Missmatch"));
  EXPECT_EQ(snapshot(dir.path()), before);

  change_files(dir);
  const auto changed = snapshot(dir.path());
  // Twice: the baseline is never rewritten, so the damage is found every time.
  for (int time = 0; time < 2; ++time) {
    const Outcome o = run("--verify " + folder);
    EXPECT_EQ(o.status, 1);
    for (const char* line : {"change", "remove", "break"})
      EXPECT_TRUE(contains(o.out, "\n" + std::string(line))) << line;
    EXPECT_TRUE(contains(o.out, " CRC Missmatch\n"));
    EXPECT_TRUE(contains(o.out, " Not Found in This Folder\n"));
    EXPECT_TRUE(contains(o.out, " Could Not Be Read\n"));
    EXPECT_TRUE(contains(o.out,
                         "1 OK, 1 CRC Missmatch, 1 Not Found in This Folder, 1 Could Not "
                         "Be Read, 0 Skipped"));
    EXPECT_TRUE(contains(o.out, "New since the earlier listing:\n  added\n"));
    EXPECT_FALSE(contains(o.out, "  CRC Missmatch: change")) << "lines shown once";
    EXPECT_EQ(snapshot(dir.path()), changed);
  }

  // --output: the comparison goes to a file of its own, in the file format.
  const std::string report = elsewhere.file("report.txt");
  const Outcome to_file = run("--verify --output " + shell_quote(report) + " " + folder);
  EXPECT_EQ(to_file.status, 1);
  EXPECT_TRUE(contains(test::read_bytes(report), "Could Not Be Read\r\n"));
  EXPECT_TRUE(contains(to_file.out, "Wrote " + report));
  EXPECT_TRUE(contains(to_file.out, "  CRC Missmatch: change"));
  EXPECT_EQ(snapshot(dir.path()), changed);

  // The baseline itself is refused as the output, by any name, before anything is read.
  std::filesystem::create_symlink(dir.file("File CRCs.TXT"), elsewhere.file("baseline"));
  for (const std::string& output : {dir.file("File CRCs.TXT"), elsewhere.file("baseline")}) {
    const Outcome onto = run("--verify --output " + shell_quote(output) + " " + folder);
    EXPECT_EQ(onto.status, 2) << output;
    EXPECT_TRUE(contains(onto.err, "is the earlier listing itself")) << onto.err;
    EXPECT_EQ(snapshot(dir.path()), changed) << output;
  }
  // A comparison that cannot be written is not summarised as if it had been.
  const Outcome unwritten =
      run("--verify --output " + shell_quote(elsewhere.file("no/such")) + " " + folder);
  EXPECT_EQ(unwritten.status, 2);
  EXPECT_FALSE(contains(unwritten.out, "Compared with the earlier listing")) << unwritten.out;
  EXPECT_TRUE(contains(unwritten.out, "The comparison could not be written")) << unwritten.out;

  // A baseline cut short at a line end verifies what it names and fails: the rest is unchecked.
  std::string baseline = test::read_bytes(dir.file("File CRCs.TXT"));
  baseline.resize(baseline.size() - 2);  // no closing empty line
  write_bytes(dir.file("File CRCs.TXT"), baseline);
  const Outcome cut = run("--verify " + folder);
  EXPECT_EQ(cut.status, 2);
  EXPECT_TRUE(contains(cut.out, "The earlier listing was cut short: it ends after 4 entries"))
      << cut.out;
  const Outcome cut_json = run("--verify --json " + folder);
  EXPECT_EQ(cut_json.status, 2);
  const nlohmann::json cut_folder =
      nlohmann::json::parse(cut_json.out.substr(0, cut_json.out.find('\n')));
  EXPECT_EQ(cut_folder["earlier_cut_short"], true);
  EXPECT_EQ(cut_folder["earlier_entries"], 4);
  EXPECT_EQ(cut_folder["error"], "the earlier listing was cut short after 4 entries");
  // A closing line of blanks, before an end-of-file byte, is the closing empty line all the same.
  write_bytes(dir.file("File CRCs.TXT"), baseline + "\r\n   \x1A");
  const Outcome blanks = run("--verify " + folder);
  EXPECT_EQ(blanks.status, 1) << blanks.out;  // "change" changed: nothing else is wrong
  EXPECT_FALSE(contains(blanks.out, "cut short")) << blanks.out;
}

// The command as a user without the right to write into the folder (root may write anywhere).
std::string unprivileged() {
  return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
}

TEST(Cli, AReadOnlyFolderIsVerifiedAgainstAListingKeptElsewhere) {
  TempFolder media, keep;
  make_files(media);
  const std::string folder = shell_quote(media.path().string());
  const std::string listing = keep.file("media.crc");
  const Outcome made = run("--output " + shell_quote(listing) + " " + folder);
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(contains(made.out, "Wrote " + listing));
  EXPECT_FALSE(test::exists(media.file("File CRCs.TXT")));
  EXPECT_TRUE(
      contains(test::read_bytes(listing), "File CRCs For Folder:\r\n" + media.folder_path()));

  for (const auto& [path, mode] : {std::pair{media.path(), 0555}, std::pair{keep.path(), 0755}})
    ::chmod(path.c_str(), mode);
  for (const std::string name : {"keep", "change", "remove", "break"})
    ::chmod(media.file(name).c_str(), 0644);
  ::chmod(listing.c_str(), 0644);
  const auto before = snapshot(media.path());
  const std::string as_user = unprivileged();
  const Outcome verified =
      run("--verify --listing " + shell_quote(listing) + " " + folder, as_user);
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_TRUE(contains(verified.out, "4 OK"));
  EXPECT_EQ(snapshot(media.path()), before);
  // An ordinary run there cannot write its listing, and says so.
  const Outcome refused = run("--no-compare " + folder, as_user);
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(contains(refused.err, "cannot write " + media.file("File CRCs.TXT")));
  ::chmod(media.path().c_str(), 0755);

  // A copy of the listing that keeps its time tells an edit from damage as the original does.
  const std::string copy = keep.file("copy.crc");
  ASSERT_EQ(std::system(("cp -p " + shell_quote(listing) + " " + shell_quote(copy)).c_str()), 0);
  write_bytes(media.file("keep"), "damaged");
  time_from(media.file("keep"), listing, -3600);
  write_bytes(media.file("change"), "edited");
  time_from(media.file("change"), listing, 600);
  const Outcome told = run("--verify --json --listing " + shell_quote(copy) + " " + folder);
  EXPECT_EQ(told.status, 1);
  EXPECT_TRUE(contains(told.out, "\"name\":\"keep\",\"status\":\"CRC Missmatch\"")) << told.out;
  EXPECT_TRUE(contains(told.out, "\"unmodified_changes\":1")) << told.out;

  const Outcome missing =
      run("--verify --listing " + shell_quote(keep.file("none")) + " " + folder);
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(contains(missing.err, "cannot read the listing " + keep.file("none")));
}

TEST(Cli, RecursiveRunsTakeEveryFolderOnceInOrderAndNeverFollowLinks) {
  TempFolder top;
  const auto& t = top.path();
  std::filesystem::create_directories(t / "sub b" / "deep");
  std::filesystem::create_directories(t / "sub a");
  write_bytes(top.file("root.txt"), "1");
  write_bytes(top.file("sub a/a.txt"), "2");
  write_bytes(top.file("sub b/b.txt"), "3");
  write_bytes(top.file("sub b/deep/c.txt"), "4");
  std::filesystem::create_directory_symlink(t, t / "sub b" / "loop");  // back to the top
  std::filesystem::create_directory_symlink(t / "sub a", t / "z link");

  const Outcome o = run("-r " + shell_quote(t.string()));
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string order[] = {top.folder_path(), top.file("sub a/"), top.file("sub b/"),
                               top.file("sub b/deep/")};
  std::size_t at = 0;
  for (const std::string& folder : order) {
    at = o.out.find("Folder " + folder + ":\n", at);
    EXPECT_NE(at, std::string::npos) << folder << " in order in\n" << o.out;
    EXPECT_TRUE(test::exists(folder + "File CRCs.TXT")) << folder;
  }
  EXPECT_FALSE(test::exists(top.file("z link/File CRCs.TXT.tmp")));
  EXPECT_TRUE(contains(o.out, "Tree: 4 folders, 4 files, 4 B"));

  write_bytes(top.file("sub b/deep/c.txt"), "5");
  time_from(top.file("sub b/deep/c.txt"), top.file("sub b/deep/File CRCs.TXT"), -60);
  const auto before = snapshot(t);
  const Outcome v = run("-r --verify " + shell_quote(t.string()));
  EXPECT_EQ(v.status, 1);
  EXPECT_TRUE(contains(v.out, "Compared in 4 folders: 3 OK, 1 CRC Missmatch"));
  EXPECT_TRUE(contains(v.out,
                       "Changed but not modified since their earlier listings were written "
                       "(possible damage, or an older copy put back): 1\n  " +
                           top.file("sub b/deep/c.txt") + "\n"))
      << v.out;
  EXPECT_EQ(snapshot(t), before);

  // Without -r, the subfolders are left out, and the summary says so.
  const Outcome one = run("--no-compare " + shell_quote(t.string()));
  EXPECT_TRUE(contains(one.out, "2 subfolders were left out: -r lists every folder of the tree"))
      << one.out;

  // A folder that cannot be opened is named with the reason; nothing is read or written for it,
  // and nothing anywhere else either (the working folder keeps its own listing).
  TempFolder cwd;
  write_bytes(cwd.file("File CRCs.TXT"), "the working folder's own");
  const auto sub_b_before = snapshot(t / "sub b");
  for (const auto& [path, mode] : {std::pair{t, 0755}, std::pair{t / "sub a", 0755},
                                   std::pair{t / "sub b", 0}, std::pair{cwd.path(), 0777}})
    ::chmod(path.c_str(), static_cast<mode_t>(mode));
  ::chmod(top.file("root.txt").c_str(), 0644);
  ::chmod(top.file("sub a/a.txt").c_str(), 0644);
  const Outcome shut = run("-r --no-compare " + shell_quote(t.string()),
                           "cd " + shell_quote(cwd.path().string()) + " && " + unprivileged());
  ::chmod((t / "sub b").c_str(), 0755);
  EXPECT_EQ(shut.status, 2) << shut.out;
  EXPECT_TRUE(contains(shut.out, "Folder " + top.file("sub b/") +
                                     ":\nThe folder could not be opened: Permission denied"))
      << shut.out;
  EXPECT_TRUE(contains(shut.out, "Folders with trouble:\n  " + top.file("sub b/")));
  EXPECT_FALSE(contains(shut.out, top.file("sub b/deep")));
  EXPECT_EQ(test::read_bytes(cwd.file("File CRCs.TXT")), "the working folder's own");
  EXPECT_EQ(snapshot(t / "sub b"), sub_b_before);
}

TEST(Cli, TreesDeeperThanThePathLimitAndWiderThanTheHandleLimitAreListedWhole) {
  // 25 folders of 200-byte names: paths of 5,000 bytes, past PATH_MAX, reached by handles only.
  TempFolder top;
  const std::string long_name(200, 'd');
  int fd = ::open(top.path().c_str(), O_RDONLY | O_DIRECTORY);
  for (int depth = 0; depth < 25; ++depth) {
    ASSERT_EQ(::mkdirat(fd, long_name.c_str(), 0755), 0) << depth;
    const int at = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(at, "x", 1), 1);
    ::close(at);
    const int next = ::openat(fd, long_name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  ::close(fd);
  const Outcome deep = run("-r -q --no-compare " + shell_quote(top.path().string()));
  EXPECT_EQ(deep.status, 0) << deep.err;
  EXPECT_TRUE(contains(deep.out, "Tree: 26 folders, 25 files")) << deep.out;

  // 300 folders under limits of open files: the read-ahead waits for handles and the batches are
  // committed sooner, never a file reported unreadable for it; below the floor a run is refused.
  TempFolder wide;
  for (int i = 0; i < 300; ++i) {
    const std::string folder = wide.file("w" + std::to_string(i));
    std::filesystem::create_directories(folder + "/inner");
    write_bytes(folder + "/a", "a");
    write_bytes(folder + "/inner/b", "b");
  }
  // Every folder is reported once, with its own listing, in the order of a run without a limit.
  const auto folders_reported = [](const std::string& out) {
    std::vector<std::string> folders;
    std::istringstream lines(out);
    for (std::string line, wrote; std::getline(lines, line);) {
      if (!line.starts_with("Folder ")) continue;
      folders.push_back(line.substr(7, line.size() - 8));
      std::getline(lines, wrote);
      EXPECT_EQ(wrote, "Wrote " + folders.back() + "File CRCs.TXT");
    }
    return folders;
  };
  // Every listing of the tree, in a fixed order; taken away, each run starts from the same tree.
  const auto take_listings = [&wide] {
    std::map<std::string, std::string> all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(wide.path()))
      if (e.path().filename() == "File CRCs.TXT") all[e.path()] = test::read_bytes(e.path());
    for (const auto& [path, text] : all) std::filesystem::remove(path);
    std::string joined;
    for (const auto& [path, text] : all) joined += text;
    return joined;
  };
  const std::vector<std::string> args = {"-r", "-q", "--no-compare", wide.path().string()};
  const std::vector<std::string> unlimited =
      folders_reported(run("-r -q --no-compare " + shell_quote(wide.path().string())).out);
  ASSERT_EQ(unlimited.size(), 601u);
  const std::string unlimited_listings = take_listings();
  for (const int limit : {48, 12}) {
    SCOPED_TRACE(limit);
    const Outcome limited = run_limited(args, RLIMIT_NOFILE, limit);
    EXPECT_EQ(limited.status, 0) << limited.out.substr(0, 2000) << limited.err;
    EXPECT_TRUE(contains(limited.out, "Tree: 601 folders, 600 files")) << limited.err;
    EXPECT_FALSE(contains(limited.out, "Could not be read")) << limited.out.substr(0, 2000);
    EXPECT_EQ(folders_reported(limited.out), unlimited);
    EXPECT_EQ(take_listings(), unlimited_listings);
  }
  const Outcome refused = run_limited(args, RLIMIT_NOFILE, 9);
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(contains(refused.err, "a run needs at least 8")) << refused.err;
  EXPECT_FALSE(test::exists(wide.file("w7/File CRCs.TXT")));
}

// What --output does with what stands there: a plain file or a link to one is replaced where the
// link leads (the link stays); a device or a FIFO is written straight through; a link that leads
// nowhere or into a folder that cannot be written, and a folder, are errors that name the file.
// Nothing that is not a plain file is ever replaced. The nodes and FIFOs are the test's own.
TEST(Cli, TheOutputIsWrittenAsWhatStandsThereAndOnlyAPlainFileIsReplaced) {
  TempFolder dir, out;
  write_bytes(dir.file("a"), "123456789");
  const std::string folder = dir.path().string();
  std::filesystem::create_directory(out.path() / "locked");
  write_bytes(out.file("locked/kept.crc"), "kept");
  ::chmod(out.file("locked").c_str(), 0555);
  const bool root = ::geteuid() == 0;
  struct Row {
    const char* name;
    std::function<bool(const std::string&)> make;  // false: the row cannot be made here
    int status;
    const char* said;                              // in standard error, when it fails
    std::function<std::string()> listing;          // where the listing went
    std::function<bool(const std::string&)> kind;  // what stands at the output afterwards
  };
  const std::string node = out.file("node"), fifo = out.file("fifo"), file = out.file("file.crc");
  const auto is_link = [](const std::string& p) { return std::filesystem::is_symlink(p); };
  const auto is_node = [](const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
  };
  const auto is_fifo = [](const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
  };
  std::string drained;  // what a reader of the FIFO got
  std::thread reader;
  std::string drained_path;
  const auto drain_fifo = [&](const std::string& path) {
    drained_path = path;
    reader = std::thread([&drained, path] { drained = test::read_bytes(path); });
    return true;
  };
  const auto drained_fifo = [&] {
    if (reader.joinable()) reader.join();
    return drained;
  };
  const Row rows[] = {
      {"a character device",
       [&](const std::string& p) {
         return root && ::mknod(p.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;  // as null
       },
       0, "", [] { return std::string(); }, is_node},
      {"a FIFO",
       [&](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0 && drain_fifo(p); }, 0, "",
       drained_fifo, is_fifo},
      {"a link to a plain file",
       [&](const std::string& p) {
         write_bytes(file, "old");
         std::filesystem::create_symlink(file, p);
         return true;
       },
       0, "", [&] { return test::read_bytes(file); }, is_link},
      {"a link to a FIFO",
       [&](const std::string& p) {
         std::filesystem::create_symlink(fifo, p);
         return ::mkfifo(fifo.c_str(), 0600) == 0 && drain_fifo(fifo);
       },
       0, "", drained_fifo, is_link},
      {"a link that leads nowhere",
       [&](const std::string& p) {
         std::filesystem::create_symlink(out.file("nowhere/x.crc"), p);
         return true;
       },
       2, "which does not exist", [] { return std::string(); }, is_link},
      {"a link into a folder that cannot be written",
       [&](const std::string& p) {
         std::filesystem::create_symlink(out.file("locked/kept.crc"), p);
         return root ? !unprivileged().empty() : true;
       },
       2, "Permission denied", [&] { return test::read_bytes(out.file("locked/kept.crc")); },
       is_link},
      {"a folder", [&](const std::string& p) { return std::filesystem::create_directory(p); }, 2,
       "Is a directory", [] { return std::string(); },
       [](const std::string& p) { return std::filesystem::is_directory(p); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string target = out.file("target");
    std::filesystem::remove_all(target);
    std::filesystem::remove(fifo);
    std::filesystem::remove(file);
    if (!row.make(target)) {
      std::printf("[          ] skipped: %s cannot be made here\n", row.name);
      continue;
    }
    const bool locked = std::string(row.name).find("cannot be written") != std::string::npos;
    const Outcome o = run("-q --output " + shell_quote(target) + " " + shell_quote(folder),
                          locked ? unprivileged() : std::string());
    const std::string listing = row.listing();
    EXPECT_EQ(o.status, row.status) << o.err;
    EXPECT_TRUE(row.kind(target)) << "no longer what it was";
    if (row.status == 0 && std::string(row.name) != "a character device") {
      EXPECT_TRUE(contains(listing, "CBF43926\r\n\r\n")) << listing;
    }
    if (row.status != 0) {
      EXPECT_TRUE(contains(o.err, row.said)) << o.err;
      EXPECT_FALSE(contains(listing, "CBF43926")) << listing;
    }
    EXPECT_FALSE(test::exists(dir.file("File CRCs.TXT")));  // nothing written into the folder
    if (reader.joinable()) {  // a FIFO the command never opened: its reader is let go
      const int fd = ::open(drained_path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      reader.join();
    }
  }
  ::chmod(out.file("locked").c_str(), 0755);

  // An output inside the folder is the run's own: not listed, and so never a "CRC Missmatch" of
  // itself, however often the folder is compared with it.
  for (int i = 0; i < 3; ++i) {
    const Outcome own =
        run("-q --compare --output " + shell_quote(dir.file("my.crc")) + " " + shell_quote(folder));
    EXPECT_EQ(own.status, 0) << own.out;
    EXPECT_FALSE(contains(test::read_bytes(dir.file("my.crc")), "my.crc")) << i;
  }
}

TEST(Cli, JsonLinesCarryEveryStatusAndNamesThatAreNotUtf8) {
  TempFolder dir;
  make_files(dir);
  const std::string latin1 = "caf\xE9";
  write_bytes(dir.file(latin1), "latin-1 name");
  // Twice, so that the baseline lists the tool's own listing too ("Skipped").
  ASSERT_EQ(run(shell_quote(dir.path().string())).status, 0);
  ASSERT_EQ(run(shell_quote(dir.path().string())).status, 0);
  change_files(dir);
  write_bytes(dir.file(latin1), "changed too");
  // The latin-1 file changed but keeps a time before the listing was written: possible damage.
  time_from(dir.file(latin1), dir.file("File CRCs.TXT"), -3600);

  const Outcome summary = run("--verify " + shell_quote(dir.path().string()));
  EXPECT_TRUE(contains(summary.out,
                       "Changed but not modified since the earlier listing was "
                       "written (possible damage, or an older copy put back): 1\n"
                       "  caf\xE9\n"))
      << summary.out;
  const Outcome o = run("--verify --json " + shell_quote(dir.path().string()));
  EXPECT_EQ(o.status, 1) << o.err;
  std::vector<nlohmann::json> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = o.out.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(nlohmann::json::parse(o.out.substr(start, end - start)));  // throws if bad
  ASSERT_EQ(lines.size(), 2u) << o.out;
  const nlohmann::json& folder = lines[0];
  EXPECT_EQ(folder["type"], "folder");
  EXPECT_EQ(folder["folder"], dir.folder_path());
  EXPECT_EQ(folder["counts"]["OK"], 1);
  EXPECT_EQ(folder["counts"]["Skipped"], 1);
  std::map<std::string, std::string> status_of;
  for (const auto& e : folder["entries"]) {
    const std::string name = e.contains("name_hex") ? "hex:" + e["name_hex"].get<std::string>()
                                                    : e["name"].get<std::string>();
    status_of[name] = e["status"];
    if (e["status"] == "CRC Missmatch") {
      EXPECT_NE(e["old_crc"], e["new_crc"]);
      EXPECT_EQ(e["modified_after_listing"], name == "change") << name;
    } else {
      EXPECT_TRUE(e["new_crc"].is_null());
      EXPECT_FALSE(e.contains("modified_after_listing"));
    }
  }
  EXPECT_EQ(status_of, (std::map<std::string, std::string>{
                           {"change", "CRC Missmatch"},
                           {"remove", "Not Found in This Folder"},
                           {"break", "Could Not Be Read"},
                           {"hex:636166e9", "CRC Missmatch"},
                       }));
  EXPECT_EQ(folder["new"][0]["name"], "added");
  EXPECT_EQ(folder["unmodified_changes"], 1);
  EXPECT_EQ(folder["unreadable"][0]["path"], dir.file("break"));
  EXPECT_EQ(folder["error"], "the comparison found 4 changed, missing or unreadable files");
  EXPECT_EQ(lines[1]["type"], "run");
  EXPECT_EQ(lines[1]["exit"], 1);
  EXPECT_EQ(lines[1]["error"],
            "the comparison found changed, missing or unreadable files in 1 folder");
  EXPECT_EQ(lines[1]["counts"]["CRC Missmatch"], 2);
}

TEST(Cli, UnwritableListingIsReportedWithFileAndReason) {
  TempFolder dir;
  write_bytes(dir.file("a"), "x");
  std::filesystem::create_directory(dir.path() / "File CRCs.TXT");  // cannot be replaced
  const Outcome o = run(shell_quote(dir.path().string()));
  EXPECT_EQ(o.status, 2);
  EXPECT_TRUE(contains(o.err, "cannot write " + dir.file("File CRCs.TXT") + ": Is a directory"))
      << o.err;
  EXPECT_FALSE(contains(o.out, "Wrote"));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2u);  // no temporary file left behind
}

// The viewer is not waited for: wait until it has logged `count` lines, at most 5 s.
std::vector<std::string> viewer_log(const std::string& log, std::size_t count) {
  std::vector<std::string> lines;
  for (int i = 0; i < 250; ++i) {
    lines.clear();
    std::string text = test::read_bytes(log);
    for (std::size_t pos; (pos = text.find('\n')) != std::string::npos; text.erase(0, pos + 1))
      lines.push_back(text.substr(0, pos));
    if (lines.size() >= count) break;
    ::usleep(20000);
  }
  return lines;
}

TEST(Cli, OpenStartsTheViewerOnEveryResultAndSurvivesAMissingOne) {
  TempFolder dir, bin;
  write_bytes(dir.file("a"), "x");
  const std::string log = bin.file("viewer.log");
  write_bytes(bin.file("xdg-open"), "#!/bin/sh\necho \"$1\" >> " + shell_quote(log) + "\n");
  ::chmod(bin.file("xdg-open").c_str(), 0755);
  const std::string path_env = "PATH=" + shell_quote(bin.path().string() + ":/usr/bin:/bin");
  ASSERT_EQ(run("--open " + shell_quote(dir.path().string()), path_env).status, 0);
  EXPECT_EQ(viewer_log(log, 1), std::vector<std::string>{dir.file("File CRCs.TXT")});
  ASSERT_EQ(run("--open --compare " + shell_quote(dir.path().string()), path_env).status, 0);
  auto lines = viewer_log(log, 3);
  ASSERT_EQ(lines.size(), 3u);
  std::sort(lines.begin() + 1, lines.end());  // two viewers started moments apart may race
  EXPECT_EQ(lines[1], dir.file("CRC Comparison.TXT"));
  EXPECT_EQ(lines[2], dir.file("File CRCs.TXT"));

  const Outcome none =
      run("--open " + shell_quote(dir.path().string()), "PATH=" + shell_quote(dir.path().string()));
  EXPECT_EQ(none.status, 0);
  EXPECT_TRUE(contains(none.err, "cannot start xdg-open on " + dir.file("File CRCs.TXT")));

  // A relative folder that begins with "-" reaches the viewer as a path, not as an option.
  std::filesystem::create_directory(dir.path() / "-dash");
  write_bytes(dir.file("-dash/a"), "x");
  ASSERT_EQ(run("--open --no-compare -- -dash",
                "cd " + shell_quote(dir.path().string()) + " && " + path_env)
                .status,
            0);
  EXPECT_EQ(viewer_log(log, 4).back(), "./-dash/File CRCs.TXT");
}

struct OwnFileCase {
  const char* what;
  void (*plant)(const std::string& folder, const std::string& elsewhere);
  unsigned listing_mode;  // the new listing's permission bits, with the umask 022
};

TEST(Cli, TheToolsOwnFilesAreNeverTakenThroughLinksNorLendTheirSpecialBits) {
  const OwnFileCase cases[] = {
      {"a link to another user's private listing",
       [](const std::string& folder, const std::string& elsewhere) {
         std::filesystem::create_symlink(elsewhere + "/File CRCs.TXT", folder + "/File CRCs.TXT");
       },
       0644},
      {"a link to a device",
       [](const std::string& folder, const std::string&) {
         std::filesystem::create_symlink("/dev/zero", folder + "/File CRCs.TXT");
       },
       0644},
      {"a plain file with every special bit",
       [](const std::string& folder, const std::string&) {
         write_bytes(folder + "/File CRCs.TXT", "not a listing");
         ::chmod((folder + "/File CRCs.TXT").c_str(), 06777);
       },
       0777},
  };
  for (const OwnFileCase& c : cases) {
    TempFolder shared, elsewhere;
    const std::string secret = "File CRCs For Folder:\r\n/private/\r\n" + std::string(41, '-') +
                               "\r\nsecret-name" + std::string(29, ' ') + "1234\r\n\r\n";
    write_bytes(elsewhere.file("File CRCs.TXT"), secret);
    ::chmod(elsewhere.file("File CRCs.TXT").c_str(), 0600);
    write_bytes(shared.file("a"), "x");
    c.plant(shared.path().string(), elsewhere.path().string());

    const Outcome o = run("--compare " + shell_quote(shared.path().string()), "umask 022;");
    EXPECT_EQ(o.status, 0) << c.what << ": " << o.err;
    EXPECT_FALSE(test::exists(shared.file("CRC Comparison.TXT"))) << c.what;
    EXPECT_FALSE(contains(o.out, "secret-name")) << c.what;
    EXPECT_EQ(contains(o.out, "is not a plain file"), c.listing_mode == 0644) << o.out;
    EXPECT_EQ(test::read_bytes(elsewhere.file("File CRCs.TXT")), secret) << c.what;
    struct stat st {};
    ASSERT_EQ(::lstat(shared.file("File CRCs.TXT").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << c.what << ": the entry itself is replaced";
    EXPECT_EQ(st.st_mode & 07777, c.listing_mode) << c.what;
    EXPECT_FALSE(contains(test::read_bytes(shared.file("File CRCs.TXT")), "secret-name"));
  }
}

TEST(Cli, TemporaryFilesOfEarlierSavesAreNeverListedAndAbandonedOnesGo) {
  TempFolder dir;
  write_bytes(dir.file("a"), "x");
  const std::string abandoned = dir.file("File CRCs.TXT.tmp-4242-00000000deadbeef");
  const std::string alive = dir.file("CRC Comparison.TXT.tmp-4243-000000000000beef");
  // A user's file that only looks like one is the user's: listed, compared, kept.
  const std::string look_alike = dir.file("File CRCs.TXT.tmp-my notes");
  write_bytes(abandoned, "half a listing");
  write_bytes(alive, "being written");
  write_bytes(look_alike, "notes");
  // An earlier listing that caught a temporary file: skipped, never "Not Found".
  write_bytes(dir.file("File CRCs.TXT"),
              "File CRCs For Folder:\r\n" + dir.folder_path() + "\r\n" + std::string(41, '-') +
                  "\r\nFile CRCs.TXT.tmp-1-0123456789abcdef    99\r\n\r\n");
  // Its writer still lives: it holds the lock on it.
  const Outcome o = run("--compare " + shell_quote(dir.path().string()),
                        "flock " + shell_quote(alive) + " sh -c 'touch " +
                            shell_quote(dir.file("held")) + "; sleep 5' & until [ -e " +
                            shell_quote(dir.file("held")) + " ]; do sleep 0.01; done;");
  EXPECT_EQ(o.status, 0) << o.out;
  const std::string listing = test::read_bytes(dir.file("File CRCs.TXT"));
  // The look-alike is the only ".tmp-" name listed.
  EXPECT_TRUE(contains(listing, "\r\nFile CRCs.TXT.tmp-my notes ")) << listing;
  EXPECT_EQ(listing.find(".tmp-"), listing.rfind(".tmp-")) << listing;
  EXPECT_TRUE(contains(test::read_bytes(dir.file("CRC Comparison.TXT")), "Skipped\r\n"));
  EXPECT_FALSE(test::exists(abandoned));
  EXPECT_TRUE(test::exists(alive));
  EXPECT_TRUE(test::exists(look_alike));
}

// What the options do, seen from outside; and every mistake named.
TEST(CliOptions, OptionsDoWhatTheySayAndMistakesAreNamed) {
  TempFolder dir;
  std::filesystem::create_directories(dir.path() / "-odd" / "sub");
  write_bytes(dir.file("-odd/a"), "123456789");
  write_bytes(dir.file("-odd/sub/b"), "b");
  const std::string in_dir = "cd " + shell_quote(dir.path().string()) + " &&";
  // "--" ends the options: a folder named "-odd" is a folder. "-rq" is "-r" and "-q".
  const Outcome tree = run("-rq --no-compare -- -odd", in_dir);
  EXPECT_EQ(tree.status, 0) << tree.err;
  EXPECT_TRUE(contains(tree.out, "Tree: 2 folders, 2 files")) << tree.out;
  // "--output=FILE" is "--output FILE": the listing goes there, not into the folder.
  const Outcome output = run("-q --output=elsewhere.crc -- -odd", in_dir);
  EXPECT_EQ(output.status, 0) << output.err;
  EXPECT_TRUE(test::exists(dir.file("elsewhere.crc")));
  EXPECT_TRUE(contains(test::read_bytes(dir.file("elsewhere.crc")), "CBF43926"));

  const struct {
    std::vector<std::string> args;
    const char* error;
  } refused[] = {
      {{"--listing"}, "option '--listing' needs a FILE"},
      {{"--output=", "d"}, "option '--output' needs a FILE"},
      {{"--verify", "--no-compare", "d"}, "--verify compares"},
      {{"-r", "--listing", "l", "d"}, "with --recursive every folder has its own"},
      {{"-r", "--output", "o", "d"}, "with --recursive every folder has its own"},
      {{"-rx", "d"}, "unknown option '-rx'"},
  };
  for (const auto& c : refused)
    EXPECT_TRUE(contains(cli::parse_options(c.args).error, c.error)) << c.error;
}

TEST(CliProgress, LineShowsCountsSizesRateAndAHarmlessName) {
  cli::ProgressState s;
  s.files_done = 3;
  s.files_total = 10;
  s.bytes_done = 3 << 20;
  s.bytes_total = 10 << 20;
  s.seconds = 2;
  s.name = "bad\rname";
  EXPECT_EQ(cli::progress_line(s, 200),
            "3/10 files  30%  3.0 MiB/10.0 MiB  1.5 MiB/s  0:05 left  bad\\rname");
  EXPECT_EQ(cli::progress_line(s, 10).size(), 10u);
  s.seconds = 0.5;  // too early to guess the time left
  EXPECT_EQ(cli::progress_line(s, 200).find("left"), std::string::npos);
  s.bytes_total = 0;  // no totals (a quiet enumeration): no share either
  EXPECT_EQ(cli::progress_line(s, 200).find('%'), std::string::npos);
  // A share is never rounded up to one not yet read, reads that run ahead of the total show 100
  // at most, totals near 2^64 do not overflow, and an absurd guess of the time left stays a time.
  const struct {
    std::uint64_t done, total;
    double seconds;
    const char* shown;
  } shares[] = {{999, 1000, 0.5, " 99% "},
                {150, 100, 0.5, " 100% "},
                {UINT64_MAX / 2, UINT64_MAX, 0.5, " 49% "},
                {30, 100, 3, " 0:07 left "},
                {1, UINT64_MAX, 1e9, ":46:40 left "}};
  for (const auto& row : shares) {
    s.bytes_done = row.done;
    s.bytes_total = row.total;
    s.seconds = row.seconds;
    EXPECT_TRUE(contains(cli::progress_line(s, 400), row.shown))
        << row.shown << " in " << cli::progress_line(s, 400);
  }
  EXPECT_EQ(cli::human_bytes(1023), "1023 B");
  EXPECT_EQ(cli::human_bytes(1536), "1.5 KiB");
}

TEST(CliVisible, ControlsAreEscapedAndTextIsKept) {
  const struct {
    std::string bytes, shown;
  } cases[] = {
      {"plain name.txt", "plain name.txt"},
      {"caf\xC3\xA9 \xE6\x97\xA5", "caf\xC3\xA9 \xE6\x97\xA5"},  // UTF-8 text stays
      {"latin1 caf\xE9", "latin1 caf\xE9"},                      // so do other encodings
      {"\x1B]0;owned\x07", "\\e]0;owned\\x07"},
      {"\x1B[2J\r\n\t", "\\e[2J\\r\\n\\t"},
      {"del\x7F csi\x9B c1\xC2\x9B", "del\\x7f csi\\x9b c1\\xc2\\x9b"},
      {"a\\b", "a\\\\b"},
  };
  for (const auto& c : cases) EXPECT_EQ(cli::visible(c.bytes), c.shown) << c.shown;
}

// True when the output holds nothing a terminal would take as a control, but line ends.
bool harmless(const std::string& output) {
  for (std::size_t i = 0; i < output.size(); ++i) {
    const auto c = static_cast<unsigned char>(output[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F || (c >= 0x80 && c <= 0x9F)) return false;
    if (c == 0xC2 && i + 1 < output.size() && static_cast<unsigned char>(output[i + 1]) <= 0x9F)
      return false;
  }
  return true;
}

TEST(Cli, ControlBytesInNamesNeverReachTheTerminal) {
  TempFolder root;
  const std::string folder = root.file("dir\x1B[2J");
  std::filesystem::create_directory(folder);
  const std::string title = "\x1B]0;owned\x07",
                    csi =
                        "csi\x9B"
                        "1m\x7F",
                    c1 = "c1\xC2\x9B";
  for (const std::string& name : {title, csi, c1}) write_bytes(folder + "/" + name, "before");
  ASSERT_EQ(run(shell_quote(folder)).status, 0);
  write_bytes(folder + "/" + title, "after");   // changed
  std::filesystem::remove(folder + "/" + csi);  // gone
  write_bytes(folder + "/new\x1B[H", "x");      // new
  std::filesystem::remove(folder + "/" + c1);   // unreadable
  std::filesystem::create_symlink("nowhere\x1B", folder + "/" + c1);
  const Outcome o = run(shell_quote(folder));
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(contains(o.out, "Wrote ")) << o.out;
  EXPECT_TRUE(contains(o.out, "\\e]0;owned\\x07")) << o.out;
  EXPECT_TRUE(harmless(o.out)) << o.out;
  EXPECT_TRUE(contains(o.err, "cannot read")) << o.err;
  EXPECT_TRUE(harmless(o.err)) << o.err;
  // The files keep their bytes.
  EXPECT_TRUE(contains(test::read_bytes(folder + "/File CRCs.TXT"), title.substr(1)));
}

// Runs sumwright as a child of its own, output discarded, and gives its peak memory in KiB.
// Starts sumwright with all three streams on /dev/null, not waiting for it.
// Starts the command, its standard output to `out` (or nowhere).
pid_t start(std::vector<std::string> args, const std::string& out = "/dev/null") {
  std::vector<char*> argv = {const_cast<char*>(SUMWRIGHT_CLI_PATH)};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(null, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

long peak_memory_kib(std::vector<std::string> args) {
  const pid_t pid = start(std::move(args));
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  return usage.ru_maxrss;
}

TEST(Cli, MemoryFollowsTheFolderNotWhatAnEarlierListingClaims) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: the bound is measured in "
                  "the plain build";
#endif
  TempFolder dir;
  write_bytes(dir.file("a"), "x");
  // A million one-byte entries: a comparison of almost 100 MB, a thousandfold the folder.
  std::string claimed =
      "File CRCs For Folder:\r\n" + dir.folder_path() + "\r\n" + std::string(41, '-') + "\r\n";
  for (int i = 0; i < 1000000; ++i) claimed += "x\r\n";
  for (const char* how : {"--no-compare", "--compare"}) {
    write_bytes(dir.file("File CRCs.TXT"), claimed);
    EXPECT_LT(peak_memory_kib({"-q", how, dir.path().string()}), 40 * 1024) << how;
  }
  EXPECT_GT(std::filesystem::file_size(dir.path() / "CRC Comparison.TXT"), 90000000u);
  // One line of 100 MB without a line end, after a header and before an entry, and as the
  // header itself: read through, never kept, JSON included. Written in pieces, so that this
  // process holds none of it when the child is measured.
  const std::string header = claimed.substr(0, claimed.find("x\r\n"));
  const auto write_long_line = [&dir](const std::string& before, const std::string& after) {
    std::ofstream out(dir.file("File CRCs.TXT"), std::ios::binary | std::ios::trunc);
    out << before;
    const std::string piece(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) out << piece;
    out << after;
  };
  claimed.clear();
  claimed.shrink_to_fit();
  for (const bool as_header : {false, true}) {
    const auto plant = [&] {
      write_long_line(as_header ? "" : header, as_header ? "" : "\r\nx\r\n\r\n");
    };
    for (const char* how : {"--no-compare", "--compare", "--json"}) {
      plant();  // each run replaces it
      EXPECT_LT(peak_memory_kib({"-q", how, dir.path().string()}), 40 * 1024) << how;
    }
    plant();
    const Outcome o = run("--verify " + shell_quote(dir.path().string()));
    if (as_header) {
      EXPECT_EQ(o.status, 2) << o.out;  // not a listing
    } else {
      EXPECT_TRUE(contains(o.out,
                           "1 line of the earlier listing was longer than 4096 bytes: "
                           "no entry is, so they were passed over"))
          << o.out;
    }
  }
}

// A listing file that a run wrote whole: the header, `files` entries (the folder's files and the
// earlier listing), the closing empty line.
bool complete_listing(const std::string& text, std::size_t files) {
  if (!text.starts_with("File CRCs For Folder:\r\n") || !text.ends_with("\r\n\r\n")) return false;
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  return lines == 3 + files + 1 && text.find(".tmp-") == std::string::npos;
}

TEST(Cli, ARunKilledAnywhereLeavesTheOldOrTheNewListingAndNoTemporaryFile) {
  TempFolder dir;
  constexpr std::size_t kFiles = 3000;
  for (std::size_t i = 0; i < kFiles; ++i) write_bytes(dir.file("f" + std::to_string(i)), "x");
  const std::string folder = dir.path().string();
  ASSERT_EQ(run("-q --no-compare " + shell_quote(folder)).status, 0);
  const std::string old_listing = test::read_bytes(dir.file("File CRCs.TXT"));
  write_bytes(dir.file("f7"), "changed");  // the new listing differs

  // How long a whole run takes; the kills then fall anywhere in it, its save included.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(run("-q --no-compare " + shell_quote(folder)).status, 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  write_bytes(dir.file("File CRCs.TXT"), old_listing);
  std::mt19937 random(12345);
  int old_kept = 0, new_whole = 0;
  for (int kill = 0; kill < 30; ++kill) {
    const pid_t pid = start({"-q", "--no-compare", folder});
    std::this_thread::sleep_for(whole * std::uniform_real_distribution<double>(0.2, 1.2)(random));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const std::string now = test::read_bytes(dir.file("File CRCs.TXT"));
    if (now == old_listing) {
      ++old_kept;
    } else {
      EXPECT_TRUE(complete_listing(now, kFiles + 1)) << "after kill " << kill;
      ++new_whole;
      write_bytes(dir.file("File CRCs.TXT"), old_listing);
    }
  }
  std::printf("[          ] 30 kills: %d left the old listing, %d the new one\n", old_kept,
              new_whole);
  // The next run lists no temporary file a killed run left, and removes them.
  ASSERT_EQ(run("-q --no-compare " + shell_quote(folder)).status, 0);
  EXPECT_TRUE(complete_listing(test::read_bytes(dir.file("File CRCs.TXT")), kFiles + 1));
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_FALSE(contains(e.path().filename().string(), ".tmp-")) << e.path();
}

// Killed, or stopped by a signal that it catches, anywhere in its batched saves: each folder keeps
// its old listing or has its new one whole, "Wrote" is said only for new ones, and a stop leaves
// no temporary file and ends the command by the signal that stopped it.
TEST(Cli, ATreeKilledOrStoppedAnywhereLeavesOldOrNewListingsAndSaysWroteOnlyForNew) {
  TempFolder top;
  constexpr int kFolders = 40, kFiles = 60;
  for (int f = 0; f < kFolders; ++f) {
    std::filesystem::create_directory(top.path() / ("d" + std::to_string(f)));
    for (int i = 0; i < kFiles; ++i)
      write_bytes(top.file("d" + std::to_string(f) + "/f" + std::to_string(i)), "x");
  }
  const std::string tree = top.path().string();
  const auto listing_of = [&top](int f) {
    std::string folder = "d";
    folder += std::to_string(f);
    return top.file(folder + "/File CRCs.TXT");
  };
  ASSERT_EQ(run("-r -q --no-compare " + shell_quote(tree)).status, 0);
  std::vector<std::string> old_listings;
  for (int f = 0; f < kFolders; ++f) {
    old_listings.push_back(test::read_bytes(listing_of(f)));
    write_bytes(top.file("d" + std::to_string(f) + "/f0"), "changed");  // every new one differs
  }
  const auto restore = [&] {
    for (int f = 0; f < kFolders; ++f) write_bytes(listing_of(f), old_listings[f]);
  };
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(run("-r -q --no-compare " + shell_quote(tree)).status, 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  restore();
  TempFolder out;
  std::mt19937 random(54321);
  for (const int signal : {SIGKILL, SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    int wrote = 0, stopped = 0;
    for (int kill = 0; kill < 10; ++kill) {
      const pid_t pid = start({"-r", "-q", "--no-compare", tree}, out.file("stdout"));
      std::this_thread::sleep_for(whole * std::uniform_real_distribution<double>(0.1, 1.1)(random));
      ::kill(pid, signal);
      int status = 0;
      ::waitpid(pid, &status, 0);
      // Ended by the signal, or done before it came.
      EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == signal) ||
                  (WIFEXITED(status) && WEXITSTATUS(status) == 0))
          << status;
      stopped += WIFSIGNALED(status) ? 1 : 0;
      const std::string said = test::read_bytes(out.file("stdout"));
      for (int f = 0; f < kFolders; ++f) {
        const std::string now = test::read_bytes(listing_of(f));
        const bool is_new = now != old_listings[f];
        if (is_new) {
          EXPECT_TRUE(complete_listing(now, kFiles + 1)) << "folder " << f;
        }
        // "Wrote" for a folder only once its new listing stands.
        if (contains(said, "Wrote " + listing_of(f) + "\n")) {
          EXPECT_TRUE(is_new) << "folder " << f << " after kill " << kill;
          ++wrote;
        }
      }
      // A stop takes its staged files with it; only a kill may leave some for the next run.
      if (signal != SIGKILL) {
        for (const auto& e : std::filesystem::recursive_directory_iterator(top.path())) {
          EXPECT_FALSE(contains(e.path().filename().string(), ".tmp-")) << e.path();
        }
      }
      restore();
    }
    std::printf("[          ] %s: %d of 10 runs ended by it; %d folders said Wrote before\n",
                strsignal(signal), stopped, wrote);
  }
}

// At the machine's limits a run ends with a clear message and nothing lost. 200,000 files take
// about 70 MB of address space, thread stacks and all (readers and the commit keep off the heap,
// so no thread is given a heap of its own); with less, the run says it is out of memory, writes
// nothing more and removes what it staged.
TEST(Cli, AFolderOfTwoHundredThousandFilesRunsUnderAHundredMegabytesOrSaysItIsOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer reserves terabytes of address space: the bound is measured in the "
                  "plain build";
#endif
  TempFolder dir;
  for (int i = 0; i < 200000; ++i) {
    const std::string name = dir.file("f" + std::to_string(i));
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, name.data() + name.size() - 2, 2), 2);
    ::close(fd);
  }
  const std::string folder = shell_quote(dir.path().string());
  struct Row {
    const char* how;
    int kib;
    int status;
  };
  const Row rows[] = {
      {"--no-compare", 100000, 0}, {"--compare", 100000, 0}, {"--compare", 30000, 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.how) + " " + std::to_string(row.kib));
    const std::string before = test::read_bytes(dir.file("File CRCs.TXT"));
    const Outcome o =
        run_limited({"-q", row.how, dir.path().string()}, RLIMIT_AS, rlim_t{1024} * row.kib);
    EXPECT_EQ(o.status, row.status) << o.err;
    if (row.status == 0) {
      EXPECT_TRUE(contains(o.out, "Listed 2000")) << o.out.substr(0, 500);
    } else {
      EXPECT_TRUE(contains(o.err, "sumwright: out of memory")) << o.err;
      EXPECT_EQ(test::read_bytes(dir.file("File CRCs.TXT")), before);
    }
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_FALSE(contains(e.path().filename().string(), ".tmp-")) << e.path();
    }
  }
}

TEST(Cli, OutputThatCannotBeWrittenIsAnError) {
  TempFolder dir;
  write_bytes(dir.file("a"), "x");
  const Outcome o = run("-q " + shell_quote(dir.path().string()), "", "/dev/full");
  EXPECT_EQ(o.status, 2);
  EXPECT_TRUE(contains(o.err, "cannot write to standard output")) << o.err;
  EXPECT_EQ(run("--version", "", "/dev/full").status, 2);
  // A reader that goes away: an output error, not a death by SIGPIPE.
  for (int i = 0; i < 3000; ++i) write_bytes(dir.file("f" + std::to_string(i)), "x");
  ASSERT_EQ(run("-q " + shell_quote(dir.path().string())).status, 0);
  const std::string piped =
      "bash -c " +
      shell_quote("set -o pipefail; " + shell_quote(SUMWRIGHT_CLI_PATH) + " --verify " +
                  shell_quote(dir.path().string()) + " | head -c 1 >/dev/null");
  const int raw = std::system(piped.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2) << raw;
}

}  // namespace
}  // namespace sw
