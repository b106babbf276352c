// The file-system seam on Windows. Paths come in as UTF-8 and go to the system as wide
// characters in the long-path form, so every file can be named, and by its own name; names go
// back to the core both ways: the bytes of the system's ANSI conversion for the listing, UTF-8
// for opening.
#include "core/os/fs_win32.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/os/fs.h"

namespace sw::fs {
namespace {

SRWLOCK g_mode_lock = SRWLOCK_INIT;  // a constant: no constructor runs in a loaded DLL
constinit int g_quiet_depth = 0;
constinit UINT g_mode_before = 0;

struct FindHandle {
  using Handle = HANDLE;
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::FindClose(h); }
};

struct KernelHandle {
  using Handle = HANDLE;
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
using OwnedHandle = Owned<KernelHandle>;

struct LocalBuffer {
  using Handle = char*;
  static char* none() { return nullptr; }
  static void close(char* p) { ::LocalFree(p); }
};

}  // namespace

std::string system_message(unsigned long code) {
  Owned<LocalBuffer> text;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(text.receive()), 0, nullptr);
  std::string message;
  if (n != 0 && text.is_open()) message.assign(text.get(), n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "System error " + std::to_string(code);
  return message;
}

namespace {

bool fail(SysError* err, DWORD code) {
  if (err != nullptr) {
    err->code = static_cast<long>(code);
    err->message = system_message(code);
  }
  return false;
}

bool fail_last(SysError* err) {
  return fail(err, ::GetLastError());
}

std::wstring widen(std::string_view text, UINT code_page) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), n);
  return wide;
}

// With flags 0 the conversion maps what the code page lacks as the system's ANSI calls do
// (best fit, else '?'), so a name comes out exactly as FindFirstFileA would give it.
std::string narrow(std::wstring_view text, UINT code_page) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n =
      ::WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(code_page, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
  return bytes;
}

// The code page of the ANSI file calls: the ANSI one unless a program switched them to OEM.
UINT file_code_page() {
  return ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
}

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

bool is_slash(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool is_unc(std::wstring_view path) {
  return path.size() >= 2 && is_slash(path[0]) && is_slash(path[1]);
}

bool has_drive(std::wstring_view path) {
  return path.size() >= 2 && path[1] == L':';
}

std::wstring working_directory() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(n);  // n is the size needed, terminator included
  }
}

// The root of a full path: "C:" or "\\server\share", without a closing slash.
std::wstring_view root_of(std::wstring_view full) {
  if (!is_unc(full)) return full.substr(0, has_drive(full) ? 2 : 0);
  std::size_t end = 2;
  for (int part = 0; part < 2; ++part) {
    while (end < full.size() && is_slash(full[end])) ++end;
    while (end < full.size() && !is_slash(full[end])) ++end;
  }
  return full.substr(0, end);
}

// A path completed where it leans on the working directory: relative to it, to its root ("\x")
// or to a drive's own current folder ("D:x"). Only the working directory and a drive's current
// folder are asked of the system, so no name of the path goes through its normalising.
std::wstring full_path(const std::wstring& path) {
  if (is_unc(path) || (has_drive(path) && path.size() > 2 && is_slash(path[2]))) return path;
  const std::wstring cwd = working_directory();
  std::wstring base;
  std::wstring_view rest = path;
  if (has_drive(path)) {
    rest.remove_prefix(2);
    const auto letter = [](wchar_t c) { return c | 0x20; };  // drive letters are ASCII
    if (has_drive(cwd) && letter(cwd[0]) == letter(path[0])) {
      base = cwd;
    } else {
      wchar_t drive[3] = {path[0], L':', L'\0'};
      wchar_t buf[MAX_PATH];
      const DWORD n = ::GetFullPathNameW(drive, MAX_PATH, buf, nullptr);
      base = n > 0 && n < MAX_PATH ? std::wstring(buf, n) : std::wstring(drive) + L'\\';
    }
  } else if (!path.empty() && is_slash(path[0])) {
    base = root_of(cwd);
  } else {
    base = cwd;
  }
  if (base.empty()) return path;
  if (!is_slash(base.back())) base.push_back(L'\\');
  while (!rest.empty() && is_slash(rest.front()) && is_slash(base.back())) rest.remove_prefix(1);
  return base.append(rest);
}

}  // namespace

// The long-path form is taken by the system as it stands: no name loses a closing blank or dot
// and none is read as a device, so "f4.txt." is never opened as "f4.txt" nor "D:\tsp " as
// "D:\tsp". It takes only full paths with backslashes, so the rest of what the ordinary form
// does is done here, on the text alone: "/" becomes "\", empty and "." steps go, ".." takes back
// the step before it (never past the root).
std::wstring exact_path(std::string_view native) {
  std::wstring path = widen(native, CP_UTF8);
  if (path.empty() || path.starts_with(kLongPrefix) || path.starts_with(kDevicePrefix)) return path;
  path = full_path(path);
  const bool unc = is_unc(path);
  if (!unc && !has_drive(path)) return path;  // nothing the long form could name
  std::wstring out(unc ? kLongUncPrefix.substr(0, kLongUncPrefix.size() - 1) : kLongPrefix);
  if (!unc) out.append(path, 0, 2);
  const std::size_t fixed = unc ? 2 : 0;  // a share's server and name belong to its root
  std::vector<std::size_t> steps;         // where each step starts in `out`
  std::size_t at = 2;                     // past the two slashes of a share or the drive
  while (at < path.size()) {
    std::size_t end = at;
    while (end < path.size() && !is_slash(path[end])) ++end;
    const std::wstring_view step(path.data() + at, end - at);
    at = end + 1;
    if (step.empty() || step == L".") continue;
    if (step == L"..") {
      if (steps.size() > fixed) {
        out.resize(steps.back());
        steps.pop_back();
      }
      continue;
    }
    steps.push_back(out.size());
    out.push_back(L'\\');
    out.append(step);
  }
  if (steps.size() <= fixed || is_slash(path.back())) out.push_back(L'\\');
  return out;
}

namespace {

// Whether the code page holds the text: converted there and back it is the same.
bool code_page_holds(std::wstring_view wide, const std::string& converted) {
  return widen(converted, file_code_page()) == wide;
}

HANDLE as_handle(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}
Handle as_handle_value(HANDLE h) {
  return reinterpret_cast<Handle>(h);
}

// FILETIME counts 100 ns from 1601; the core counts nanoseconds from 1970.
std::int64_t nanoseconds_of(const FILETIME& t) {
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000;
  const auto ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  return (ticks - kFrom1601To1970) * 100;
}

std::uint64_t entry_size(const WIN32_FIND_DATAW& data) {
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool is_dot_entry(const wchar_t* name) {
  return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// A symbolic link or junction is followed: what it leads to decides its kind and size, and one
// whose target cannot be opened is a file that cannot be read.
void follow_link(const std::wstring& path, DirEntry& entry) {
  const OwnedHandle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.is_open()) {
    entry.kind = EntryKind::kUnreachable;
    return;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(h.get(), &info)) {
    entry.kind = EntryKind::kUnreachable;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    entry.kind = EntryKind::kDirectory;
  } else {
    entry.kind = EntryKind::kFile;
    entry.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    entry.modified = nanoseconds_of(info.ftLastWriteTime);
  }
}

bool is_link(const WIN32_FIND_DATAW& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
          data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

// An open folder: its path, and a handle on it held without delete sharing, so that nobody can
// rename it or remove it (and put another in its place) while a run works in it.
struct OpenFolder {
  std::string path;  // native form, ending in a backslash
  OwnedHandle dir;
  bool tells_case_apart = false;  // asked once, when it is opened
};

// Whether the folder tells names apart that differ in case alone: where the system says (case
// sensitivity switched on for it), that; where it cannot say and the program runs under Wine, the
// folder is a folder of Linux, which does.
bool folder_tells_case_apart(HANDLE dir) {
  struct {
    ULONG flags;
  } info{};
  constexpr auto kCaseSensitiveInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(23);
  constexpr ULONG kCaseSensitiveDir = 0x1;
  if (::GetFileInformationByHandleEx(dir, kCaseSensitiveInfo, &info, sizeof info))
    return (info.flags & kCaseSensitiveDir) != 0;
  static const bool under_wine =
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return under_wine;
}

const OpenFolder* folder_of(Handle folder) {
  return reinterpret_cast<const OpenFolder*>(folder);
}

// The native path of `name` in `folder` (kNoHandle: `name` is a path of its own).
std::string path_in(Handle folder, const std::string& name) {
  return folder == kNoHandle ? name : folder_of(folder)->path + name;
}

// The wide path of `name` in `folder`, as the system takes it.
std::wstring wide_in(Handle folder, const std::string& name) {
  return exact_path(path_in(folder, name));
}

bool win_open_folder(const std::string& path, Handle* out, SysError* err) {
  QuietErrors quiet;
  OwnedHandle dir(::CreateFileW(exact_path(path).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir.is_open()) return fail_last(err);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(dir.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return fail(err, ERROR_DIRECTORY);
  const bool tells = folder_tells_case_apart(dir.get());
  *out = reinterpret_cast<Handle>(new OpenFolder{path, std::move(dir), tells});
  return true;
}

// There is no open relative to a folder's handle in the Win32 API: the subfolder is opened by its
// path as the entry itself (a junction or link is not followed), and kept only when that entry is
// a plain folder, no reparse point.
bool win_open_subfolder(Handle parent, const std::string& name, const std::string& path,
                        Handle* out, SysError* err) {
  if (name.empty() || name.find_first_of("\\/") != std::string::npos || name == "." || name == "..")
    return fail(err, ERROR_INVALID_NAME);
  QuietErrors quiet;
  OwnedHandle dir(::CreateFileW(exact_path(path_in(parent, name)).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
  if (!dir.is_open()) return fail_last(err);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(dir.get(), &info)) return fail_last(err);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return fail(err, ERROR_CANT_ACCESS_FILE);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return fail(err, ERROR_DIRECTORY);
  const bool tells = folder_tells_case_apart(dir.get());
  *out = reinterpret_cast<Handle>(new OpenFolder{path, std::move(dir), tells});
  return true;
}

bool win_identity(Handle folder, const std::string& name, FileId* out, SysError* err) {
  QuietErrors quiet;
  const OwnedHandle h(::CreateFileW(wide_in(folder, name).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!h.is_open() || !::GetFileInformationByHandle(h.get(), &info)) return fail_last(err);
  *out = {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return true;
}

void win_close_folder(Handle folder) {
  if (folder != kNoHandle) delete folder_of(folder);  // its handle goes with it
}

bool win_current_directory(std::string* out, SysError* err) {
  QuietErrors quiet;
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) return fail_last(err);
    if (n < buf.size()) {
      buf.resize(n);
      *out = native_of(buf);
      return true;
    }
    buf.resize(n);  // n is the size needed, terminator included
  }
}

// The enumeration gives every size for nothing, so `sizes` changes nothing here.
bool win_list_folder(Handle handle, bool /*sizes*/, DirEntries* out, SysError* err) {
  QuietErrors quiet;
  const std::string folder = path_in(handle, "");
  WIN32_FIND_DATAW data;
  const Owned<FindHandle> find(::FindFirstFileW(exact_path(folder + "*").c_str(), &data));
  if (!find.is_open()) {
    const DWORD code = ::GetLastError();
    // A drive root has no "." entry, so an empty one finds nothing at all.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return true;
    return fail(err, code);
  }
  const UINT code_page = file_code_page();
  DWORD code = ERROR_NO_MORE_FILES;
  do {
    if (is_dot_entry(data.cFileName)) continue;
    DirEntry entry;
    entry.name = narrow(data.cFileName, code_page);
    std::string native = native_of(data.cFileName);
    if (native != entry.name) entry.native_name = std::move(native);
    // Hidden and system files are checksummed like any other file.
    if (is_link(data)) {
      entry.link = true;
      follow_link(exact_path(folder + entry.native()), entry);
    } else {
      entry.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kDirectory
                                                                           : EntryKind::kFile;
      entry.size = entry_size(data);
      entry.modified = nanoseconds_of(data.ftLastWriteTime);
    }
    out->push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data) || (code = ::GetLastError()) != ERROR_NO_MORE_FILES);
  return code == ERROR_NO_MORE_FILES ? true : fail(err, code);
}

bool find_first(const std::string& path, WIN32_FIND_DATAW* data) {
  QuietErrors quiet;
  return Owned<FindHandle>(::FindFirstFileW(exact_path(path).c_str(), data)).is_open();
}

constexpr DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT |
                            FILE_ATTRIBUTE_DEVICE;

bool win_tells_case_apart(Handle folder) {
  return folder != kNoHandle && folder_of(folder)->tells_case_apart;
}

// Whether the entry the system found for `name` is another file, whose name differs in case
// alone, in a folder that tells such names apart (the system may still take one for the other).
bool another_by_case(Handle folder, const std::string& name, const WIN32_FIND_DATAW& found) {
  return wide_of(name) != found.cFileName && ops().tells_case_apart(folder);
}

OwnFile win_own_file(Handle folder, const std::string& name) {
  WIN32_FIND_DATAW data;
  if (!find_first(path_in(folder, name), &data)) return OwnFile::kAbsent;
  if (another_by_case(folder, name, data)) return OwnFile::kAbsent;
  return (data.dwFileAttributes & kNotPlain) == 0 ? OwnFile::kPlain : OwnFile::kNotPlain;
}

bool win_file_size(Handle folder, const std::string& name, std::uint64_t* size, SysError* err) {
  QuietErrors quiet;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(wide_in(folder, name).c_str(), GetFileExInfoStandard, &data))
    return fail_last(err);
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return fail(err, ERROR_DIRECTORY);
  *size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

// A caller's path as a directory search of the ordinary form reads it, as callers of FILELEN have
// always had it: a name that ends in one dot loses it, and the last name loses all its closing
// dots and blanks (a string padded to a fixed length finds its file). The long form is then made
// of it, so no length is too long. The program's own reads keep every name exactly.
std::string searched_path(std::string_view native) {
  std::string path(native);
  if (path.empty() || is_separator(path.back())) return path;
  while (!path.empty() && (path.back() == '.' || path.back() == ' ') &&
         !(path.size() >= 2 && path.back() == '.' && path[path.size() - 2] == '.' &&
           (path.size() == 2 || is_separator(path[path.size() - 3]))))
    path.pop_back();
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !is_separator(path[end])) ++end;
    std::string_view name(path.data() + start, end - start);
    const bool dots_only = name.find_first_not_of('.') == std::string_view::npos;
    if (!dots_only && name.back() == '.') name.remove_suffix(1);
    out.append(name);
    if (end < path.size()) out.push_back(path[end]);
    start = end + 1;
  }
  return out;
}

bool win_find_first_size(const char* path, std::uint64_t* size) {
  WIN32_FIND_DATAW data;
  if (!find_first(searched_path(path), &data)) return false;
  *size = entry_size(data);
  return true;
}

// Shared with readers only: this program's own readers (two names of one file, read at once) and
// other programs that read never shut each other out, while a writer is kept out for as long as
// the file is read, so what is read is the file's true content. Nothing asks for the file to be
// read alone: a file held by a writer, or without sharing, cannot be read either way.
bool open_reading(Handle folder, const std::string& name, DWORD flags, Handle* out, SysError* err) {
  QuietErrors quiet;
  const DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | flags;
  const HANDLE h = ::CreateFileW(wide_in(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, kFlags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail_last(err);
  *out = as_handle_value(h);
  return true;
}

// A folder is never opened here (that would need FILE_FLAG_BACKUP_SEMANTICS), so a size the
// caller does not know comes from the open file alone.
bool file_times(HANDLE h, FileTimes* times, DWORD* attributes, SysError* err) {
  FILE_BASIC_INFO info;
  if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info)) return fail_last(err);
  const auto nanoseconds = [](const LARGE_INTEGER& t) {
    FILETIME f;
    f.dwLowDateTime = t.LowPart;
    f.dwHighDateTime = static_cast<DWORD>(t.HighPart);
    return nanoseconds_of(f);
  };
  *times = {nanoseconds(info.LastWriteTime), nanoseconds(info.ChangeTime)};
  if (attributes != nullptr) *attributes = info.FileAttributes;
  return true;
}

bool win_look(Handle h, FileLook* out, SysError* err) {
  QuietErrors quiet;
  DWORD attributes = 0;
  LARGE_INTEGER size;
  if (!file_times(as_handle(h), &out->times, &attributes, err)) return false;
  if (!::GetFileSizeEx(as_handle(h), &size)) return fail_last(err);
  out->size = static_cast<std::uint64_t>(size.QuadPart);
  out->regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
  return true;
}

// The handle's own times serve: no writer gets in while a file is read here anyway.
bool win_stamps_by_clock(Handle /*folder*/) {
  return false;
}

bool win_open_read(Handle folder, const std::string& name, FileFacts* facts, Handle* out,
                   SysError* err) {
  if (!open_reading(folder, name, 0, out, err)) return false;
  OwnedHandle file(as_handle(std::exchange(*out, kNoHandle)));
  if (facts->size == kUnknownSize) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.get(), &info)) return fail_last(err);
    facts->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  }
  // The enumeration gives no change time: the handle's times, to be looked at again once read.
  FileTimes times;
  QuietErrors quiet;
  if (!file_times(file.get(), &times, nullptr, err)) return false;
  facts->modified = times.modified;
  facts->changed = times.changed;
  *out = as_handle_value(file.release());
  return true;
}

// Opened as the entry itself (a link is not followed), and kept only when that is a plain file.
bool win_open_own_read(Handle folder, const std::string& name, Handle* out, SysError* err) {
  if (!open_reading(folder, name, FILE_FLAG_OPEN_REPARSE_POINT, out, err)) return false;
  OwnedHandle file(as_handle(std::exchange(*out, kNoHandle)));
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return fail(err, ERROR_ACCESS_DENIED);
  *out = as_handle_value(file.release());
  return true;
}

bool win_read(Handle h, void* buffer, std::size_t size, std::size_t* got, SysError* err) {
  QuietErrors quiet;
  const DWORD want = size > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(size);
  DWORD n = 0;
  if (!::ReadFile(as_handle(h), buffer, want, &n, nullptr)) return fail_last(err);
  *got = n;
  return true;
}

void win_close(Handle h) {
  if (h == kNoHandle) return;
  QuietErrors quiet;
  ::CloseHandle(as_handle(h));
}

bool win_open_update(Handle folder, const std::string& name, Handle* out, bool* writable,
                     SysError* err) {
  QuietErrors quiet;
  // A read-only file is only read, as Windows insists; some file systems would let a
  // privileged user write it anyway. Never through a link, never a folder.
  const std::wstring wide = wide_in(folder, name);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return fail(err, ERROR_ACCESS_DENIED);
  const bool read_only =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (!read_only)
    h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  *writable = h != INVALID_HANDLE_VALUE;
  if (read_only || (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED))
    h = ::CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail_last(err);
  *out = as_handle_value(h);
  return true;
}

bool write_all(HANDLE h, const char* p, std::size_t size, SysError* err) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!::WriteFile(h, p, chunk, &n, nullptr)) return fail_last(err);
    if (n == 0) return fail(err, ERROR_WRITE_FAULT);
    p += n;
    size -= n;
  }
  return true;
}

bool win_write_at(Handle h, std::uint64_t offset, const void* data, std::size_t size,
                  SysError* err) {
  QuietErrors quiet;
  LARGE_INTEGER pos;
  pos.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(as_handle(h), pos, nullptr, FILE_BEGIN)) return fail_last(err);
  return write_all(as_handle(h), static_cast<const char*>(data), size, err);
}

bool win_write(Handle h, const void* data, std::size_t size, SysError* err) {
  QuietErrors quiet;
  return write_all(as_handle(h), static_cast<const char*>(data), size, err);
}

bool win_folder_is_read_only(Handle folder) {
  QuietErrors quiet;
  const DWORD attributes = ::GetFileAttributesW(wide_in(folder, "").c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool win_inspect_target(Handle folder, const std::string& name, ReplaceTarget* out, SysError* err) {
  QuietErrors quiet;
  *out = ReplaceTarget{};
  out->keep = FILE_ATTRIBUTE_NORMAL;
  const DWORD existing = ::GetFileAttributesW(wide_in(folder, name).c_str());
  if (existing == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? true : fail(err, code);
  }
  if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    out->kind = ReplaceTarget::kFolder;
    fail(&out->refusal, ERROR_ACCESS_DENIED);
    return true;
  }
  if (WIN32_FIND_DATAW found;
      find_first(path_in(folder, name), &found) && another_by_case(folder, name, found)) {
    out->kind = ReplaceTarget::kOther;
    out->refusal = {ERROR_ALREADY_EXISTS,
                    "the user's file " + narrow(found.cFileName, file_code_page()) +
                        " holds its name but for letter case, and this folder tells case apart"};
    return true;
  }
  out->kind = ReplaceTarget::kPlain;
  // A file the user marked read-only is not replaced behind their back.
  if ((existing & FILE_ATTRIBUTE_READONLY) != 0) fail(&out->refusal, ERROR_ACCESS_DENIED);
  const DWORD kept =
      existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  if (kept != 0) out->keep = kept;
  return true;
}

Created win_create_new(Handle folder, const std::string& name, std::uint32_t keep, Handle* out,
                       SysError* err) {
  QuietErrors quiet;
  // Held without sharing while its writer lives: nobody else can remove it meanwhile.
  const HANDLE h = ::CreateFileW(wide_in(folder, name).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, keep, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    fail(err, code);
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? Created::kExists
                                                                     : Created::kFailed;
  }
  *out = as_handle_value(h);
  return Created::kCreated;
}

bool win_flush(Handle h, SysError* err) {
  QuietErrors quiet;
  return ::FlushFileBuffers(as_handle(h)) ? true : fail_last(err);
}

// An earlier file is replaced in place by ReplaceFileW, which keeps what belongs to it rather
// than to its content: its security, attributes, creation time and other streams. Where that
// call cannot serve (no earlier file, a file system without it), the new file is moved over.
bool win_replace(Handle folder, const std::string& from, const std::string& to, SysError* err) {
  QuietErrors quiet;
  const std::wstring wide_from = wide_in(folder, from);
  const std::wstring wide_to = wide_in(folder, to);
  // Nobody may hold the earlier file open against its replacement; asking first gives the plain
  // reason, and spares the litter a failed ReplaceFileW leaves on some systems (Wine's makes a
  // temporary file beside it before it finds the file held).
  OwnedHandle earlier(::CreateFileW(wide_to.c_str(), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (earlier.is_open()) {
    earlier.close();
    if (::ReplaceFileW(wide_to.c_str(), wide_from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr))
      return true;
  } else if (const DWORD code = ::GetLastError();
             code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
    return fail(err, code);
  }
  return ::MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? true
             : fail_last(err);
}

// A replacement is written through (MOVEFILE_WRITE_THROUGH, or ReplaceFileW's own): nothing is
// left to flush.
bool win_flush_folder(Handle /*folder*/, SysError* /*err*/) {
  return true;
}

// Flushing a whole volume needs an administrator's handle on it: saves are made durable one by
// one instead.
Flushed win_flush_volume(Handle /*folder*/, SysError* /*err*/) {
  return Flushed::kUnsupported;
}

bool win_remove(Handle folder, const std::string& name) {
  QuietErrors quiet;
  return ::DeleteFileW(wide_in(folder, name).c_str()) != 0;
}

// A writer holds its file open without sharing until it ends, so the removal fails while it
// lives.
bool win_remove_unheld(Handle folder, const std::string& name) {
  QuietErrors quiet;
  const std::wstring wide = wide_in(folder, name);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kNotPlain) != 0) return false;
  return ::DeleteFileW(wide.c_str()) != 0;
}

// Windows outputs are plain files: the window names none of its own, and a link is replaced as
// the entry it is (ReplaceFileW keeps what belongs to the earlier file).
bool win_resolve_output(const std::string& path, OutputTarget* out, SysError* err) {
  QuietErrors quiet;
  const DWORD attributes = ::GetFileAttributesW(exact_path(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return fail(err, ERROR_DIRECTORY);
  *out = {OutputTarget::kFile, path};
  return true;
}

bool win_open_stream(const std::string& /*path*/, Handle* /*out*/, SysError* err) {
  return fail(err, ERROR_NOT_SUPPORTED);
}

unsigned __stdcall run_thread(void* start) {
  const auto* s = static_cast<const ThreadStart*>(start);
  s->body(s->arg);
  return 0;
}

bool win_start_thread(const ThreadStart* start, std::size_t stack, ThreadHandle* out,
                      SysError* err) {
  // The C runtime's own start, so that its per-thread state is set up and given back; the
  // stack size is a reservation, committed as it is used.
  const std::uintptr_t thread =
      ::_beginthreadex(nullptr, static_cast<unsigned>(stack), &run_thread,
                       const_cast<ThreadStart*>(start), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == 0) {
    const DWORD code = ::GetLastError();
    return fail(err, code != 0 ? code : ERROR_NOT_ENOUGH_MEMORY);
  }
  *out = static_cast<ThreadHandle>(thread);
  return true;
}

void win_join_thread(ThreadHandle thread) {
  const auto h = reinterpret_cast<HANDLE>(thread);
  ::WaitForSingleObject(h, INFINITE);
  ::CloseHandle(h);
}

void* win_map_pages(std::size_t size, bool /*huge*/) {
  return size == 0 ? nullptr
                   : ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void win_unmap_pages(void* block, std::size_t /*size*/, bool /*huge*/) {
  if (block != nullptr) ::VirtualFree(block, 0, MEM_RELEASE);
}

constexpr Ops kWin32Ops = {
    .current_directory = &win_current_directory,
    .open_folder = &win_open_folder,
    .close_folder = &win_close_folder,
    .open_subfolder = &win_open_subfolder,
    .identity = &win_identity,
    .list_folder = &win_list_folder,
    .own_file = &win_own_file,
    .tells_case_apart = &win_tells_case_apart,
    .file_size = &win_file_size,
    .find_first_size = &win_find_first_size,
    .open_read = &win_open_read,
    .open_own_read = &win_open_own_read,
    .look = &win_look,
    .stamps_by_clock = &win_stamps_by_clock,
    .read = &win_read,
    .close = &win_close,
    .open_update = &win_open_update,
    .write_at = &win_write_at,
    .folder_is_read_only = &win_folder_is_read_only,
    .inspect_target = &win_inspect_target,
    .create_new = &win_create_new,
    .write = &win_write,
    .flush = &win_flush,
    .replace = &win_replace,
    .flush_folder = &win_flush_folder,
    .flush_volume = &win_flush_volume,
    .move_over = &win_replace,
    .remove = &win_remove,
    .remove_unheld = &win_remove_unheld,
    .resolve_output = &win_resolve_output,
    .open_stream = &win_open_stream,
    .start_thread = &win_start_thread,
    .join_thread = &win_join_thread,
    .map_pages = &win_map_pages,
    .unmap_pages = &win_unmap_pages,
};

constinit Ops g_ops = kWin32Ops;

}  // namespace

std::wstring wide_of_code_page(std::string_view text, unsigned code_page) {
  return widen(text, code_page);
}

std::wstring wide_of(std::string_view native) {
  return widen(native, CP_UTF8);
}

std::string native_of(std::wstring_view wide) {
  return narrow(wide, CP_UTF8);
}

QuietErrors::QuietErrors() {
  ::AcquireSRWLockExclusive(&g_mode_lock);
  if (g_quiet_depth++ == 0)
    g_mode_before = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  ::ReleaseSRWLockExclusive(&g_mode_lock);
}

QuietErrors::~QuietErrors() {
  ::AcquireSRWLockExclusive(&g_mode_lock);
  if (--g_quiet_depth == 0) ::SetErrorMode(g_mode_before);
  ::ReleaseSRWLockExclusive(&g_mode_lock);
}

Ops& ops() {
  return g_ops;
}
const Ops& platform_ops() {
  return kWin32Ops;
}

std::int64_t change_clock_now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return nanoseconds_of(now);
}

double process_cpu_seconds() {
  FILETIME created, ended, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e7;
  };
  return seconds(kernel) + seconds(user);
}

unsigned long process_id() {
  return ::GetCurrentProcessId();
}

bool out_of_handles(const SysError& error) {
  return error.code == ERROR_TOO_MANY_OPEN_FILES || error.code == ERROR_NO_SYSTEM_RESOURCES;
}

SysError out_of_handles_error() {
  return {ERROR_TOO_MANY_OPEN_FILES, system_message(ERROR_TOO_MANY_OPEN_FILES)};
}

std::size_t handle_limit() {
  return std::size_t{1} << 20;  // kernel handles are limited by memory alone
}

std::size_t handles_open() {
  return 0;  // against that limit, what the process holds at the start does not count
}

std::string listing_form(std::string_view native_path) {
  return narrow(widen(native_path, CP_UTF8), file_code_page());
}

std::wstring short_path(std::string_view native) {
  QuietErrors quiet;
  const std::wstring from = exact_path(native);
  const DWORD need = ::GetShortPathNameW(from.c_str(), nullptr, 0);
  if (need == 0) return {};
  std::wstring path(need, L'\0');
  const DWORD n = ::GetShortPathNameW(from.c_str(), path.data(), need);
  if (n == 0 || n >= need) return {};
  path.resize(n);
  if (path.starts_with(kLongUncPrefix))
    path = L"\\\\" + path.substr(kLongUncPrefix.size());
  else if (path.starts_with(kLongPrefix))
    path.erase(0, kLongPrefix.size());
  return path;
}

std::string best_listing_form(std::string_view native_path) {
  const std::wstring wide = widen(native_path, CP_UTF8);
  std::string plain = narrow(wide, file_code_page());
  if (code_page_holds(wide, plain)) return plain;
  const std::wstring short_form = short_path(native_path);
  if (short_form.empty()) return plain;
  std::string bytes = narrow(short_form, file_code_page());
  return code_page_holds(short_form, bytes) ? bytes : plain;
}

std::string native_form(std::string_view listing_path) {
  return native_of(widen(listing_path, file_code_page()));
}

bool names_ignore_case() {
  return true;
}

namespace {

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

// The file system's casing: LCMapStringEx upper-cases by the system's own table (simple,
// character by character, no language's rules) unless asked for linguistic casing, which is
// the rule by which NTFS and CompareStringOrdinal take two names for one. ASCII needs no call:
// its letters only map among themselves.
std::string name_key(std::string_view listing_name) {
  if (is_ascii(listing_name)) {
    std::string key(listing_name);
    for (char& c : key) c = ascii_upper(c);
    return key;
  }
  const std::wstring wide = widen(listing_name, file_code_page());
  const int size = static_cast<int>(wide.size());
  std::wstring upper(wide.size(), L'\0');
  if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), size, upper.data(),
                      size, nullptr, nullptr, 0) != size)
    return std::string(listing_name);  // no key but the name itself: only an exact match
  return native_of(upper);
}

bool same_name(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (is_ascii(a) && is_ascii(b))
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return ascii_upper(x) == ascii_upper(y);
           });
  return name_key(a) == name_key(b);
}

char separator() {
  return '\\';
}

bool renames_open_files() {
  return false;
}

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace sw::fs
