#include "ui/folder_picker.h"

#include <shlobj.h>

#include "core/os/fs.h"
#include "core/os/fs_win32.h"
#include "core/os/owned.h"

namespace sw::ui {
namespace {

// The browser's answer belongs to the caller, who gives it back to COM's allocator.
struct ShellItem {
  using Handle = PIDLIST_ABSOLUTE;
  static PIDLIST_ABSOLUTE none() { return nullptr; }
  static void close(PIDLIST_ABSOLUTE item) { ::CoTaskMemFree(item); }
};

// Folders only from the file system, new-style browser with an edit box, files listed too.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS |
                              BIF_USENEWUI | BIF_BROWSEINCLUDEFILES;
static_assert(kBrowseFlags == 0x405B);

// Selecting an empty floppy or CD drive must not bring up the system's "insert a disk" box.
DWORD quiet_attributes(const wchar_t* path) {
  const fs::QuietErrors quiet;
  return ::GetFileAttributesW(path);
}

}  // namespace

bool selection_rejected(bool has_item, std::string_view path, DWORD attributes) {
  if (!has_item || path.empty()) return true;
  // INVALID_FILE_ATTRIBUTES has every bit set, so the directory test alone would pass it.
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return true;
  if (path.size() < 2 || path[1] != ':') return true;
  const bool drive_root = path.size() >= 2 && path.substr(path.size() - 2) == ":\\";
  return (attributes & FILE_ATTRIBUTE_SYSTEM) != 0 && !drive_root;
}

int CALLBACK BROWSEFOLDERCALLBACK(HWND browser, UINT message, LPARAM param, LPARAM data) {
  switch (message) {
    case BFFM_INITIALIZED:
      ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
      // Without an owner the browser may open behind other windows.
      ::SetForegroundWindow(browser);
      ::ShowWindow(browser, SW_RESTORE);
      break;
    case BFFM_SELCHANGED: {
      const auto item = reinterpret_cast<PCIDLIST_ABSOLUTE>(param);
      wchar_t path[MAX_PATH] = {};
      if (item != nullptr) ::SHGetPathFromIDListW(item, path);
      const DWORD attributes = path[0] != L'\0' ? quiet_attributes(path) : INVALID_FILE_ATTRIBUTES;
      if (selection_rejected(item != nullptr, fs::native_of(path), attributes)) {
        ::SendMessageA(browser, BFFM_ENABLEOK, 0, 0);
        ::MessageBeep(0);
      }
      break;
    }
    default:
      break;
  }
  return 0;
}

std::string BROWSEFOLDER(HWND owner, const std::string& title, const std::string& initial) {
  // The wide browser gives the folder's real path, whatever the code page holds. It reads the
  // start folder through lParam while it runs; `start` outlives it.
  const std::wstring wide_title = fs::wide_of(fs::native_form(title));
  const std::wstring start = fs::wide_of(initial);
  BROWSEINFOW request = {};
  request.hwndOwner = owner;
  request.pidlRoot = nullptr;
  request.pszDisplayName = nullptr;
  request.lpszTitle = wide_title.c_str();
  request.ulFlags = kBrowseFlags;
  request.lpfn = &BROWSEFOLDERCALLBACK;
  request.lParam = reinterpret_cast<LPARAM>(start.c_str());
  request.iImage = 0;

  const fs::Owned<ShellItem> item(::SHBrowseForFolderW(&request));
  if (!item.is_open()) return {};
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(item.get(), path)) return {};
  return fs::native_of(path);
}

}  // namespace sw::ui
