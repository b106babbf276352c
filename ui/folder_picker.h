// The folder choice: the shell's folder browser, pre-selected and guarded.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace sw::ui {

inline constexpr const char* kBrowseTitle = "Select Folder";
// Where the browser starts when no folder is remembered.
inline constexpr std::string_view kDefaultInitialFolder = "C:\\";

// Shows the browser (owner may be null) with `title` (listing form) above the tree and
// `initial` (native form) selected. Returns the chosen folder's path in the native form (a
// trailing "\" only at a drive root), or "" when the user cancels or the choice has no
// file-system path.
std::string BROWSEFOLDER(HWND owner, const std::string& title, const std::string& initial);

// The browser's callback: pre-selects the folder whose wide text `data` points to, and disables
// OK with a beep for every selection that may not be chosen. Always 0.
int CALLBACK BROWSEFOLDERCALLBACK(HWND browser, UINT message, LPARAM param, LPARAM data);

// True when the selection must not be confirmed: no item, no file-system path, not a folder
// (or attributes unreadable), not on a drive letter, or a system folder other than a drive
// root.
bool selection_rejected(bool has_item, std::string_view path, DWORD attributes);

}  // namespace sw::ui
