// A stand-in for the platform's file dialog: records what it was asked to show and answers as
// the test tells it, writing the answer over the start of the file buffer as the platform does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exports/file_dialog.h"

namespace sw::test {

struct FakeDialog {
  // What the next call does.
  std::int32_t result = 0;  // nonzero: the user pressed OK
  std::string answer;       // written over the buffer's start when result is nonzero
  bool change_flags = false;
  std::uint32_t flags_out = 0;  // stored into the request's flags when change_flags
  std::string current_directory = "C:\\Work";

  // What was seen.
  int calls = 0;
  FileDialogKind kind = FileDialogKind::kOpen;
  FileDialogRequest request;
  std::string buffer_after;  // the file buffer as the runner got it back
  std::vector<std::uint32_t> cleared_owners;
};

FakeDialog& fake_dialog();

// Resets the fake and returns the platform table that uses it.
const FileDialogPlatform& fake_platform();

}  // namespace sw::test
