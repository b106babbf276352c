// The Windows common file dialogs behind the dialog routines.
#pragma once

#include "exports/file_dialog.h"

namespace sw {

// GetOpenFileNameA / GetSaveFileNameA, the current directory (at most 260 bytes) and the
// owner's list box 20.
const FileDialogPlatform& win32_file_dialogs();

}  // namespace sw
