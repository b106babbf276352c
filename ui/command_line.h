// The folder Explorer hands the program: "Sumwright.exe FOLDER", as Send To and a folder's
// context-menu command start it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/os/fs.h"

namespace sw::ui {

// What follows the program's own name on the command line, blanks and tabs around it removed;
// none when nothing does. It is taken whole, not split into arguments: an unquoted folder
// with blanks in its name still arrives as one, and a quoted drive root ("C:\") keeps its
// backslash, which the rules for splitting arguments would read as an escaped quote.
std::optional<std::wstring> command_argument(std::wstring_view command_line);

// The folder an argument names, as a full path in the native form: its quotes removed (no
// Windows path holds one), relative to the current folder, and without the long-path prefix
// (the file-system layer adds it where a path needs it). Empty when no path can be made of it.
std::string argument_folder(std::wstring_view argument);

// The text of the box shown when the argument names no folder that can be opened: the
// argument as it was given, and the system's reason when there is one.
std::wstring argument_failure_text(std::wstring_view argument, const fs::SysError& error);

}  // namespace sw::ui
