#include "win32/notepad.h"

#include <windows.h>

#include <string>

#include "core/os/fs_win32.h"

namespace sw::win32 {
namespace {

constexpr UINT kWindowsDirectoryBufferSize = 250;
constexpr char kNotepadCommand[] = "\\notepad.exe ";
// Fixed texts of the failure box: programs that call SHELLTONOTEPAD look for them.
constexpr char kFailureText[] = "Cannot Start Notepad";
constexpr char kFailureTitle[] = "Notepad not found";

std::string windows_directory() {
  char buffer[kWindowsDirectoryBufferSize];
  const UINT n = GetWindowsDirectoryA(buffer, kWindowsDirectoryBufferSize);
  // 0 is failure; a value past the buffer is the size it would have needed.
  if (n == 0 || n >= kWindowsDirectoryBufferSize) return {};
  return std::string(buffer, n);
}

}  // namespace

std::int32_t shell_to_notepad(std::string_view path) {
  bool started = false;
  DWORD error = ERROR_FILE_NOT_FOUND;  // what is missing when the Windows folder is not known
  try {
    std::string command_line = windows_directory();
    command_line += kNotepadCommand;
    command_line.append(path);

    STARTUPINFOA startup{};
    startup.cb = sizeof(STARTUPINFOA);  // 68 bytes
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets the string's own buffer.
    started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                             NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process) != 0;
    if (!started) error = GetLastError();
    if (started) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  } catch (...) {
    started = false;
    error = ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!started) {
    // The fixed text first, as callers have always seen it, then the system's reason.
    std::string text = kFailureText;
    try {
      text += "\r\n\r\n" + fs::system_message(error);
    } catch (...) {
    }
    MessageBoxA(nullptr, text.c_str(), kFailureTitle, MB_OK | MB_ICONEXCLAMATION);
  }
  return 0;
}

}  // namespace sw::win32
