// Opening a text file in the system's Notepad, without waiting for it.
#pragma once

#include <cstdint>
#include <string_view>

namespace sw::win32 {

// Starts "<Windows directory>\notepad.exe <path>" maximised, the path appended as it is (not
// quoted, not trimmed), and closes the process handles at once. When the start fails, says so
// in a message box without owner. Always returns 0.
std::int32_t shell_to_notepad(std::string_view path);

}  // namespace sw::win32
