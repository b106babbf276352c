#include "tests/exports/fake_file_dialog.h"

#include <algorithm>

namespace sw::test {
namespace {

FakeDialog g_fake;

std::int32_t fake_show(FileDialogKind kind, FileDialogRequest& request) {
  ++g_fake.calls;
  g_fake.kind = kind;
  g_fake.request = request;
  if (g_fake.result != 0) {
    const std::size_t n = std::min(g_fake.answer.size(), request.file_buffer.size());
    std::copy_n(g_fake.answer.begin(), n, request.file_buffer.begin());
  }
  if (g_fake.change_flags) request.flags = g_fake.flags_out;
  g_fake.buffer_after = request.file_buffer;
  return g_fake.result;
}

std::string fake_current_directory() {
  return g_fake.current_directory;
}

void fake_clear_owner_list(std::uint32_t owner) {
  g_fake.cleared_owners.push_back(owner);
}

constexpr FileDialogPlatform kFakePlatform{&fake_show, &fake_current_directory,
                                           &fake_clear_owner_list};

}  // namespace

FakeDialog& fake_dialog() {
  return g_fake;
}

const FileDialogPlatform& fake_platform() {
  g_fake = FakeDialog{};
  return kFakePlatform;
}

}  // namespace sw::test
