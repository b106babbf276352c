// The folder choice: the shell's folder browser, pre-selected and guarded.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <string>
#include <string_view>

namespace sw::ui {

inline constexpr const char* kBrowseTitle = "Select Folder";
// Where the browser starts when no folder is remembered.
inline constexpr std::string_view kDefaultInitialFolder = "C:\\";

// Said when the chosen item gives no file-system path after all.
inline constexpr const char* kNoPathText =
    "The chosen folder cannot be used: the system gives no path in the file system for it.";

// Where the browser starts: the remembered folder (listing form) while it still names a folder,
// otherwise kDefaultInitialFolder; in the native form.
std::string browser_start(std::string_view remembered);

// The whole file-system path of a shell item, of any length; empty when it has none, or when
// the shell can give only part of it.
std::wstring item_path(PCIDLIST_ABSOLUTE item);

// Shows the browser (owner may be null) with `title` (listing form) above the tree and
// `initial` (native form) selected. Returns the chosen folder's path in the native form (a
// trailing "\" only at a drive root), of any length, or "" when the user cancels or the choice
// has no file-system path (which a box says).
std::string BROWSEFOLDER(HWND owner, const std::string& title, const std::string& initial);

// The browser's callback: pre-selects the folder whose wide text `data` points to, and disables
// OK with a beep for every selection that may not be chosen. Always 0.
int CALLBACK BROWSEFOLDERCALLBACK(HWND browser, UINT message, LPARAM param, LPARAM data);

// True when the selection must not be confirmed: no item, no file-system path, not a folder
// (or attributes unreadable), not on a drive letter, or a system folder other than a drive
// root.
bool selection_rejected(bool has_item, std::string_view path, DWORD attributes);

}  // namespace sw::ui
