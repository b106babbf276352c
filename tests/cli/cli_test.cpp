// The sumwright command run as a separate process, as users and scripts run it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
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

// Runs sumwright with stdin from /dev/null (no terminal), capturing both output streams.
Outcome run(const std::string& args, const std::string& env = "") {
  TempFolder capture;
  const std::string out = capture.file("out"), err = capture.file("err");
  const std::string cmd = env + " " + shell_quote(SUMWRIGHT_CLI_PATH) + " " + args + " <" +
                          "/dev/null >" + shell_quote(out) + " 2>" + shell_quote(err);
  const int raw = std::system(cmd.c_str());
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
}

TEST(CliOptions, ParsesEveryOption) {
  auto p = cli::parse_options({"--compare", "-q", "--open", "dir"});
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.options.compare, true);
  EXPECT_TRUE(p.options.quiet && p.options.open);
  EXPECT_EQ(p.options.folder, "dir");
  EXPECT_EQ(cli::parse_options({"--no-compare", "d"}).options.compare, false);
  EXPECT_EQ(cli::parse_options({"--", "-odd"}).options.folder, "-odd");
  EXPECT_FALSE(cli::parse_options({"d"}).options.compare.has_value());
}

TEST(CliProgress, LineShowsCountsSizesRateAndAHarmlessName) {
  cli::ProgressState s;
  s.files_done = 3;
  s.files_total = 10;
  s.bytes_done = 3 << 20;
  s.bytes_total = 10 << 20;
  s.seconds = 2;
  s.name = "bad\rname";
  EXPECT_EQ(cli::progress_line(s, 200), "3/10 files  3.0 MiB/10.0 MiB  1.5 MiB/s  bad?name");
  EXPECT_EQ(cli::progress_line(s, 10).size(), 10u);
  EXPECT_EQ(cli::human_bytes(1023), "1023 B");
  EXPECT_EQ(cli::human_bytes(1536), "1.5 KiB");
}

}  // namespace
}  // namespace sw
