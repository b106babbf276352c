// The file-system seam on Windows: ANSI calls, bytes passed through untouched.
#include "core/fs_win32.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/fs.h"
#include "core/text.h"

namespace sw::fs {
namespace {

SRWLOCK g_mode_lock = SRWLOCK_INIT;  // a constant: no constructor runs in a loaded DLL
constinit int g_quiet_depth = 0;
constinit UINT g_mode_before = 0;

std::string system_message(DWORD code) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message;
  if (n != 0 && text != nullptr) message.assign(text, n);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "System error " + std::to_string(code);
  return message;
}

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

HANDLE as_handle(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}
Handle as_handle_value(HANDLE h) {
  return reinterpret_cast<Handle>(h);
}

std::uint64_t entry_size(const WIN32_FIND_DATAA& data) {
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool is_dot_entry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool win_current_directory(std::string* out, SysError* err) {
  QuietErrors quiet;
  std::string buf(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) return fail_last(err);
    if (n < buf.size()) {
      buf.resize(n);
      *out = std::move(buf);
      return true;
    }
    buf.resize(n);  // n is the size needed, terminator included
  }
}

bool win_list_folder(const std::string& folder, std::vector<DirEntry>* out, SysError* err) {
  QuietErrors quiet;
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((folder + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    // A drive root has no "." entry, so an empty one finds nothing at all.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return true;
    return fail(err, code);
  }
  DWORD code = ERROR_NO_MORE_FILES;
  do {
    if (is_dot_entry(data.cFileName)) continue;
    DirEntry entry;
    entry.name = data.cFileName;
    // Hidden and system files are checksummed like any other file.
    entry.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kDirectory
                                                                         : EntryKind::kFile;
    entry.size = entry_size(data);
    out->push_back(std::move(entry));
  } while (::FindNextFileA(find, &data) || (code = ::GetLastError()) != ERROR_NO_MORE_FILES);
  ::FindClose(find);
  return code == ERROR_NO_MORE_FILES ? true : fail(err, code);
}

bool find_first(const char* path, WIN32_FIND_DATAA* data) {
  QuietErrors quiet;
  const HANDLE find = ::FindFirstFileA(path, data);
  if (find == INVALID_HANDLE_VALUE) return false;
  ::FindClose(find);
  return true;
}

bool win_is_plain_file(const std::string& path) {
  WIN32_FIND_DATAA data;
  if (!find_first(path.c_str(), &data)) return false;
  constexpr DWORD kNotPlain =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return (data.dwFileAttributes & kNotPlain) == 0;
}

bool win_find_first_size(const char* path, std::uint64_t* size) {
  WIN32_FIND_DATAA data;
  if (!find_first(path, &data)) return false;
  *size = entry_size(data);
  return true;
}

bool win_open_read(const std::string& path, Handle* out, SysError* err) {
  QuietErrors quiet;
  constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, kFlags, nullptr);
  if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) {
    // Someone else has it open: reading alongside other readers still gives the true content,
    // but never alongside a writer.
    h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, kFlags,
                      nullptr);
  }
  if (h == INVALID_HANDLE_VALUE) return fail_last(err);
  *out = as_handle_value(h);
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

bool win_open_update(const std::string& path, Handle* out, bool* writable, SysError* err) {
  QuietErrors quiet;
  // A read-only file is only read, as Windows insists; some file systems would let a
  // privileged user write it anyway.
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  const bool read_only =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (!read_only)
    h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  *writable = h != INVALID_HANDLE_VALUE;
  if (read_only || (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED))
    h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
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

bool win_folder_is_read_only(const std::string& folder) {
  QuietErrors quiet;
  const DWORD attributes = ::GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool win_create_temp_beside(const std::string& target, Handle* out, std::string* temp_path,
                            SysError* err) {
  QuietErrors quiet;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  const DWORD existing = ::GetFileAttributesA(target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // A file the user marked read-only (or a folder of that name) is not replaced behind
    // their back.
    if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0) return fail(err, ERROR_ACCESS_DENIED);
    if ((existing & FILE_ATTRIBUTE_READONLY) != 0) return fail(err, ERROR_ACCESS_DENIED);
    // The replacement keeps the earlier file's hidden, system and archive marks.
    const DWORD kept =
        existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (kept != 0) attributes = kept;
  }
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".tmp-%lx-%x", ::GetCurrentProcessId(),
                  counter.fetch_add(1) + 1);
    std::string name = target + suffix;
    const HANDLE h =
        ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      *out = as_handle_value(h);
      *temp_path = std::move(name);
      return true;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
      return fail_last(err);
  }
  return fail(err, ERROR_FILE_EXISTS);
}

bool win_flush(Handle h, SysError* err) {
  QuietErrors quiet;
  return ::FlushFileBuffers(as_handle(h)) ? true : fail_last(err);
}

bool win_replace(const std::string& from, const std::string& to, SysError* err) {
  QuietErrors quiet;
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? true
             : fail_last(err);
}

bool win_remove(const std::string& path) {
  QuietErrors quiet;
  return ::DeleteFileA(path.c_str()) != 0;
}

constexpr Ops kWin32Ops = {
    .current_directory = &win_current_directory,
    .list_folder = &win_list_folder,
    .is_plain_file = &win_is_plain_file,
    .find_first_size = &win_find_first_size,
    .open_read = &win_open_read,
    .read = &win_read,
    .close = &win_close,
    .open_update = &win_open_update,
    .write_at = &win_write_at,
    .folder_is_read_only = &win_folder_is_read_only,
    .create_temp_beside = &win_create_temp_beside,
    .write = &win_write,
    .flush = &win_flush,
    .replace = &win_replace,
    .remove = &win_remove,
};

constinit Ops g_ops = kWin32Ops;

}  // namespace

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

char separator() {
  return '\\';
}

std::string folder_path(std::string_view chosen) {
  std::string path(trim_blanks(chosen));
  if (path.empty() || path.back() != '\\') path.push_back('\\');
  return path;
}

}  // namespace sw::fs
