#include "exports/dialogs_win32.h"

#include <windows.h>
// after windows.h, which it needs
#include <commdlg.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace sw {
namespace {

// The request record as Windows 98 and NT 4 defined it, without the fields added later
// (pvReserved, dwReserved, FlagsEx). Its size is the platform's: 76 bytes in 32-bit code.
constexpr DWORD kOpenFileNameSize = sizeof(OPENFILENAME_NT4A);
static_assert(kOpenFileNameSize == offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
#if defined(__i386__)
static_assert(kOpenFileNameSize == 76);
#endif

constexpr DWORD kCurrentDirectoryLimit = 260;
constexpr int kOwnerListId = 20;

// Callers pass the owner as a 32-bit value. Window handles hold 32 significant bits on every
// edition of Windows, and 64-bit code widens them with the sign (as LongToHandle does).
HWND window(std::uint32_t handle) {
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}

std::int32_t show_file_dialog(FileDialogKind kind, FileDialogRequest& request) {
  std::string file_title(request.file_title_size, '\0');
  OPENFILENAMEA record{};
  record.lStructSize = kOpenFileNameSize;
  record.hwndOwner = window(request.owner);
  record.lpstrFilter = request.filter_list.c_str();
  record.nFilterIndex = 1;
  record.lpstrFile = request.file_buffer.data();
  record.nMaxFile = static_cast<DWORD>(request.file_buffer.size());
  record.lpstrFileTitle = file_title.data();
  record.nMaxFileTitle = static_cast<DWORD>(file_title.size());
  record.lpstrInitialDir =
      request.initial_folder.empty() ? nullptr : request.initial_folder.c_str();
  record.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
  record.Flags = request.flags;
  const bool pass_extension = request.always_pass_extension || !request.default_extension.empty();
  record.lpstrDefExt = pass_extension ? request.default_extension.c_str() : nullptr;
  const BOOL confirmed =
      kind == FileDialogKind::kOpen ? GetOpenFileNameA(&record) : GetSaveFileNameA(&record);
  request.flags = record.Flags;
  return confirmed;
}

std::string current_directory() {
  char buffer[kCurrentDirectoryLimit];
  const DWORD n = GetCurrentDirectoryA(kCurrentDirectoryLimit, buffer);
  // A result past the buffer is the size it would have needed; nothing was stored.
  if (n == 0 || n >= kCurrentDirectoryLimit) return {};
  return std::string(buffer, n);
}

void clear_owner_list(std::uint32_t owner) {
  const HWND list = GetDlgItem(window(owner), kOwnerListId);
  if (list != nullptr) SendMessageA(list, LB_RESETCONTENT, 0, 0);
}

constexpr FileDialogPlatform kWin32FileDialogs{&show_file_dialog, &current_directory,
                                               &clear_owner_list};

}  // namespace

const FileDialogPlatform& win32_file_dialogs() {
  return kWin32FileDialogs;
}

}  // namespace sw
