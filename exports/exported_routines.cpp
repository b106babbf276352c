// The ten routines other programs call, standard-call and unmangled; sumwright.def exports
// them under their plain names. Strings come in as the address of the caller's BSTR variable
// (GETMULTIPLEFILES' initial folder as the BSTR itself). Nothing may leave these functions as
// an exception: every body is guarded and answers the empty or zero result instead, which is
// also the answer to a null where a variable's address belongs.

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/file_crc.h"
#include "core/os/fs.h"
#include "core/text.h"
#include "exports/colour.h"
#include "exports/dialogs_win32.h"
#include "exports/file_dialog.h"
#include "exports/multi_file_dialog.h"
#include "win32/bstr.h"
#include "win32/notepad.h"

namespace {

// The longest path the system's file calls take (its wide, long-path form), in characters. An
// ANSI path has at least as many bytes as characters, so one of more bytes is refused before it
// reaches the system: its find call cannot take it, and one took the caller down.
constexpr std::size_t kLongestPath = 32767;

BSTR empty_result() {
  return sw::win32::new_bstr({});
}

// Writes the value back only when it changed, so untouched variables keep their own string.
void write_back(BSTR* variable, const std::string& before, const std::string& after) {
  if (after != before) sw::win32::store_bstr(variable, after);
}

// SHOWOPEN, SHOWSAVE and SHOWSAVEB share their arguments and differ only inside.
using ShowRoutine = std::string (*)(const sw::FileDialogPlatform&, std::uint32_t, std::string&,
                                    std::string_view, std::string&);

BSTR call_show_routine(ShowRoutine routine, std::uint32_t owner, BSTR* filter, BSTR* title,
                       BSTR* initial_folder) {
  if (filter == nullptr || title == nullptr || initial_folder == nullptr) return empty_result();
  try {
    const std::string filter_before = sw::win32::bstr_bytes(*filter);
    const std::string folder_before = sw::win32::bstr_bytes(*initial_folder);
    std::string filter_text = filter_before;
    std::string folder = folder_before;
    const std::string chosen = routine(sw::win32_file_dialogs(), owner, filter_text,
                                       sw::win32::bstr_bytes(*title), folder);
    write_back(filter, filter_before, filter_text);
    write_back(initial_folder, folder_before, folder);
    return sw::win32::new_bstr(chosen);
  } catch (...) {
    return empty_result();
  }
}

}  // namespace

extern "C" {

float __stdcall CHOOSESTEP(const float* first, const float* second) {
  if (first == nullptr || second == nullptr) return 0.0f;
  return sw::CHOOSESTEP(*first, *second);
}

std::int32_t __stdcall FILELEN(const char* path) {
  try {
    // Counted only as far as the limit: a hostile caller's text may go on much further.
    if (path == nullptr || strnlen(path, kLongestPath + 1) > kLongestPath) return -1;
    // Callers pass ANSI paths; the file-system layer names files by their wide names.
    return sw::FILELEN(sw::fs::native_form(path).c_str());
  } catch (...) {
    return -1;
  }
}

std::int32_t __stdcall GETMULTIPLEFILES(std::uint32_t owner, BSTR initial_folder, BSTR* selection) {
  if (selection == nullptr) return 0;
  try {
    std::string chosen = sw::win32::bstr_bytes(*selection);
    const std::int32_t count = sw::GETMULTIPLEFILES(sw::win32_file_dialogs(), owner,
                                                    sw::win32::bstr_bytes(initial_folder), chosen);
    if (count != 0) sw::win32::store_bstr(selection, chosen);
    return count;
  } catch (...) {
    return 0;
  }
}

std::uint32_t __stdcall HLSTORGB(float hue, float lightness, float saturation) {
  return sw::HLSTORGB(hue, lightness, saturation);
}

// The result is built once, straight into the string returned, and copied once for the caller's
// variable: two result sizes at most. Where that memory cannot be had, the variable keeps its
// value and the result is empty.
BSTR __stdcall PADOUT(BSTR* text, const std::int32_t* width) {
  if (text == nullptr || width == nullptr) return empty_result();
  const std::string_view trimmed = sw::trim_blanks(sw::win32::bstr_view(*text));
  const std::size_t length = sw::padded_length(trimmed.size(), *width);
  if (length > 0x7FFFFFFFu) return empty_result();
  const BSTR result = SysAllocStringByteLen(nullptr, static_cast<UINT>(length));
  if (result == nullptr) return empty_result();
  char* bytes = reinterpret_cast<char*>(result);
  const std::size_t kept = trimmed.copy(bytes, length);
  std::memset(bytes + kept, ' ', length - kept);
  const BSTR copy = SysAllocStringByteLen(bytes, static_cast<UINT>(length));
  if (copy == nullptr) {
    SysFreeString(result);
    return empty_result();
  }
  SysFreeString(*text);
  *text = copy;
  return result;
}

std::int32_t __stdcall SHELLTONOTEPAD(BSTR* path) {
  if (path == nullptr) return 0;
  try {
    return sw::win32::shell_to_notepad(sw::win32::bstr_bytes(*path));
  } catch (...) {
    return 0;
  }
}

BSTR __stdcall SHOWOPEN(std::uint32_t owner, BSTR* filter, BSTR* title, BSTR* initial_folder) {
  return call_show_routine(&sw::SHOWOPEN, owner, filter, title, initial_folder);
}

BSTR __stdcall SHOWSAVE(std::uint32_t owner, BSTR* filter, BSTR* title, BSTR* initial_folder) {
  return call_show_routine(&sw::SHOWSAVE, owner, filter, title, initial_folder);
}

BSTR __stdcall SHOWSAVEA(std::uint32_t owner, BSTR* filter, BSTR* file_name, BSTR* title,
                         BSTR* initial_folder) {
  if (filter == nullptr || file_name == nullptr || title == nullptr || initial_folder == nullptr) {
    return empty_result();
  }
  try {
    const std::string filter_before = sw::win32::bstr_bytes(*filter);
    const std::string folder_before = sw::win32::bstr_bytes(*initial_folder);
    const std::string name_before = sw::win32::bstr_bytes(*file_name);
    std::string filter_text = filter_before;
    std::string folder = folder_before;
    std::string name = name_before;
    const std::string chosen = sw::SHOWSAVEA(sw::win32_file_dialogs(), owner, filter_text, name,
                                             sw::win32::bstr_bytes(*title), folder);
    write_back(filter, filter_before, filter_text);
    write_back(initial_folder, folder_before, folder);
    write_back(file_name, name_before, name);
    return sw::win32::new_bstr(chosen);
  } catch (...) {
    return empty_result();
  }
}

BSTR __stdcall SHOWSAVEB(std::uint32_t owner, BSTR* filter, BSTR* title, BSTR* initial_folder) {
  return call_show_routine(&sw::SHOWSAVEB, owner, filter, title, initial_folder);
}

}  // extern "C"
