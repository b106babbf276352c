// The Windows program's folder pass, timed for bench/folder.sh under Wine: the listing of one
// folder with every checksum, through the Win32 file-system layer, as the window's run makes
// it. Prints "pass SECONDS FILES BYTES"; nothing is written.
//
//   windows_pass.exe FOLDER
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "core/listing.h"
#include "core/os/fs.h"
#include "core/os/fs_win32.h"
#include "core/run.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: windows_pass.exe FOLDER\n");
    return 2;
  }
  const std::string folder = sw::fs::folder_path(sw::fs::native_of(argv[1]));
  const auto start = std::chrono::steady_clock::now();
  sw::fs::Folder open;
  sw::fs::SysError err;
  if (!open.open(folder, &err)) {
    std::fprintf(stderr, "%s: %s\n", folder.c_str(), err.message.c_str());
    return 1;
  }
  sw::ListingObserver quiet;
  const sw::Listing listing = sw::list_folder(open, quiet);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!listing.enumerated) {
    std::fprintf(stderr, "%s: %s\n", folder.c_str(), listing.enumerate_error.message.c_str());
    return 1;
  }
  std::printf("pass %.4f %llu %llu\n", seconds,
              static_cast<unsigned long long>(listing.files_listed),
              static_cast<unsigned long long>(listing.bytes));
  return 0;
}
