// The part of the Windows file-system layer that the Windows front ends use as well.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace sw::fs {

// The native form of a path (UTF-8) as the wide characters the system takes, and back.
std::wstring wide_of(std::string_view native);
std::string native_of(std::wstring_view wide);
// Text in a code page (CP_ACP for the system's messages) as wide characters.
std::wstring wide_of_code_page(std::string_view text, unsigned code_page);

// The wide path the system is given for a path in the native form: the long-path form ("\\?\",
// "\\?\UNC\") of its full path, in which every name is taken exactly as it is written. Only for
// the system's calls: the user is shown the ordinary form.
std::wstring exact_path(std::string_view native);

// The short (8.3) path of an existing file or folder in the ordinary form, or "" where the
// volume keeps none. It names the file also where the ordinary form of its long path would be
// read as another's (a name that ends in a dot or a blank).
std::wstring short_path(std::string_view native);

// The system's own words for an error code (GetLastError's), without the closing line end.
std::string system_message(unsigned long code);

// While one lives, a drive without a medium makes file-system calls fail quietly instead of
// asking the user to insert a disk. The error mode belongs to the process and several threads
// read files at once, so the first one in sets the quiet mode and the last one out puts the
// previous mode back.
class QuietErrors {
 public:
  QuietErrors();
  ~QuietErrors();
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;
};

}  // namespace sw::fs
