// Which selections the folder browser may confirm: plain folders on drive-letter paths.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string_view>

namespace sw::ui {

// True when the selection must not be confirmed: no item, no file-system path, not a folder
// (or attributes unreadable), not on a drive letter, or a system folder other than a drive
// root.
bool selection_rejected(bool has_item, std::string_view path, DWORD attributes);

}  // namespace sw::ui
