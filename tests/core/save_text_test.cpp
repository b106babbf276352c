#include "core/save_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
};

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
  };
  for (const FaultCase& c : cases) {
    TempFolder dir;
    const std::string path = dir.file("File CRCs.TXT");
    test::write_bytes(path, "earlier listing");
    test::FsOverride fault;
    c.install(fault.ops());
    fs::SysError err;
    EXPECT_FALSE(SAVETEXTFILE(path, "new listing", &err)) << c.what;
    EXPECT_EQ(err.message, c.what);
    EXPECT_EQ(test::read_bytes(path), "earlier listing") << c.what;
    EXPECT_EQ(file_count(dir), 1u) << c.what;
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
