#include "ui/folder_picker.h"

#include <shlobj.h>

#include <cwchar>

#include "core/os/fs.h"
#include "core/os/fs_win32.h"
#include "core/os/owned.h"
#include "ui/run_front_end.h"

namespace sw::ui {
namespace {

// The browser's answers belong to the caller, who gives them back to COM's allocator.
struct ShellText {
  using Handle = LPWSTR;
  static LPWSTR none() { return nullptr; }
  static void close(LPWSTR text) { ::CoTaskMemFree(text); }
};
struct ShellItem {
  using Handle = PIDLIST_ABSOLUTE;
  static PIDLIST_ABSOLUTE none() { return nullptr; }
  static void close(PIDLIST_ABSOLUTE item) { ::CoTaskMemFree(item); }
};

// Folders only from the file system, new-style browser with an edit box, files listed too.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS |
                              BIF_USENEWUI | BIF_BROWSEINCLUDEFILES;
static_assert(kBrowseFlags == 0x405B);

// The longest path the system takes (in the long-path form), terminator included.
constexpr DWORD kLongestPath = 32768;

// Selecting an empty floppy or CD drive must not bring up the system's "insert a disk" box. The
// path is asked for exactly as it is: "D:\tsp " is not "D:\tsp".
DWORD quiet_attributes(const std::wstring& path) {
  const fs::QuietErrors quiet;
  return ::GetFileAttributesW(fs::exact_path(fs::native_of(path)).c_str());
}

}  // namespace

namespace {

// The shell's answer as text, whichever of its three forms it came in.
std::wstring text_of(STRRET& answer, PCUITEMID_CHILD item) {
  std::wstring text;
  switch (answer.uType) {
    case STRRET_WSTR: {
      const fs::Owned<ShellText> owned(answer.pOleStr);  // the caller's to give back
      if (owned.is_open()) text = owned.get();
      break;
    }
    case STRRET_CSTR:
      text = fs::wide_of(fs::native_form(answer.cStr));
      break;
    case STRRET_OFFSET:
      text = fs::wide_of(fs::native_form(reinterpret_cast<const char*>(item) + answer.uOffset));
      break;
    default:
      break;
  }
  return text;
}

// The name by which the item's folder knows it, for parsing: a folder's own name, a drive's
// root; empty when the shell does not say.
std::wstring name_in_parent(PCIDLIST_ABSOLUTE item) {
  IShellFolder* parent = nullptr;
  PCUITEMID_CHILD last = nullptr;
  if (FAILED(::SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &last)))
    return {};
  STRRET answer;
  std::wstring name;
  if (SUCCEEDED(parent->GetDisplayNameOf(last, SHGDN_INFOLDER | SHGDN_FORPARSING, &answer)))
    name = text_of(answer, last);
  parent->Release();
  return name;
}

}  // namespace

// Where the shell cuts paths at MAX_PATH (older systems, Wine), the cut path names another
// folder or none: a path is only taken when it ends with the item's own name, or is too short
// to have been cut.
std::wstring item_path(PCIDLIST_ABSOLUTE item) {
  if (item == nullptr) return {};
  std::wstring path(kLongestPath, L'\0');
  if (!::SHGetPathFromIDListEx(item, path.data(), kLongestPath, GPFIDL_DEFAULT)) return {};
  path.resize(std::wcslen(path.c_str()));
  if (path.size() < MAX_PATH - 1) return path;
  const std::wstring name = name_in_parent(item);
  return !name.empty() && path.ends_with(name) ? path : std::wstring();
}

// The shell reads the start folder by the ordinary path rules, which drop a name's closing blank
// or dot and so would start at its neighbour: such a folder is given by its short path, which
// names it whatever the rules, where the volume keeps one.
std::string browser_start(std::string_view remembered) {
  if (remembered.empty()) return std::string(kDefaultInitialFolder);
  const std::string start = fs::native_form(remembered);
  const DWORD attributes = quiet_attributes(fs::wide_of(start));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return std::string(kDefaultInitialFolder);
  const bool plain = start.find(" \\") == std::string::npos &&
                     start.find(".\\") == std::string::npos && !start.ends_with(' ') &&
                     !start.ends_with('.');
  const std::wstring short_form = plain ? std::wstring() : fs::short_path(start);
  return short_form.empty() ? start : fs::native_of(short_form);
}

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
      const std::wstring path = item_path(item);
      const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : quiet_attributes(path);
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
  const std::wstring path = item_path(item.get());
  if (path.empty()) {
    // A choice is never dropped without a word: the user would take it for a cancel.
    ::MessageBoxA(nullptr, kNoPathText, kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
    return {};
  }
  return fs::native_of(path);
}

}  // namespace sw::ui
