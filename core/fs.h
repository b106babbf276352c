// The one seam between the core and the operating system. Every file-system call of the core
// goes through the table returned by fs::ops(), so tests can make any of them fail. The POSIX
// and Win32 tables live in fs_posix.cpp and fs_win32.cpp; exactly one is built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sw::fs {

// A file handle of the platform: a descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Why a call failed, in the system's own words.
struct SysError {
  long code = 0;
  std::string message;
};

enum class EntryKind : std::uint8_t {
  kFile,         // something to checksum: a regular file (POSIX follows symbolic links)
  kDirectory,    // passed over
  kOther,        // FIFOs, sockets, devices: passed over, never opened
  kUnreachable,  // a symbolic link or junction whose target cannot be reached
};

// Paths come in two forms. The native form is what the table's calls take: on POSIX the bytes
// themselves; on Windows UTF-8, which the layer turns into the wide characters the system names
// files by, so that every file can be opened whatever its name. The listing form is what this
// program's files and messages hold: on POSIX the bytes themselves; on Windows the bytes the
// system's ANSI conversion gives, exactly as FindFirstFileA returns a name.
struct DirEntry {
  std::string name;         // the listing form, as the system's enumeration gives it
  std::string native_name;  // the native form when it differs from `name`, else empty
  EntryKind kind = EntryKind::kOther;
  std::uint64_t size = 0;  // full 64-bit size from the enumeration itself

  const std::string& native() const { return native_name.empty() ? name : native_name; }
};

struct Ops {
  // The process's working directory (no trailing separator except at a root).
  bool (*current_directory)(std::string* out, SysError* err);

  // All entries of `folder` (which ends in the separator) except "." and "..", in the
  // system's order. Fails when the folder cannot be enumerated to its end; the entries found
  // before the failure are in `out` all the same.
  bool (*list_folder)(const std::string& folder, std::vector<DirEntry>* out, SysError* err);

  // True when `path` names a plain file: not a directory, and on Windows neither hidden nor
  // system.
  bool (*is_plain_file)(const std::string& path);

  // The directory search behind FILELEN: the size of the first entry matching `path`.
  bool (*find_first_size)(const char* path, std::uint64_t* size);

  // Opens an existing file for reading, for exclusive use when nobody else has it open,
  // otherwise shared with readers only. Never creates a file, never asks for write access,
  // hints sequential access.
  bool (*open_read)(const std::string& path, Handle* out, SysError* err);

  // Reads up to `size` bytes; *got is 0 at the end of the file.
  bool (*read)(Handle h, void* buffer, std::size_t size, std::size_t* got, SysError* err);

  void (*close)(Handle h);

  // Opens `path` for reading and writing without sharing, creating it when missing and
  // keeping its content; when write access is refused, opens it for reading only.
  bool (*open_update)(const std::string& path, Handle* out, bool* writable, SysError* err);

  // Writes all of `data` at byte `offset`.
  bool (*write_at)(Handle h, std::uint64_t offset, const void* data, std::size_t size,
                   SysError* err);

  // True when the folder may not be written (read-only attribute, no write permission).
  bool (*folder_is_read_only)(const std::string& folder);

  // Creates a new, empty temporary file beside `target` (same folder) for writing.
  // Fails when `target` exists and may not be replaced.
  bool (*create_temp_beside)(const std::string& target, Handle* out, std::string* temp_path,
                             SysError* err);

  // Appends all of `data`.
  bool (*write)(Handle h, const void* data, std::size_t size, SysError* err);

  // Forces written data to the medium.
  bool (*flush)(Handle h, SysError* err);

  // Renames `from` over `to` in one step, replacing `to`.
  bool (*replace)(const std::string& from, const std::string& to, SysError* err);

  bool (*remove)(const std::string& path);
};

// The table in use. Tests may overwrite single entries and must restore them.
Ops& ops();
// The platform's own table, for restoring.
const Ops& platform_ops();

// An open file, closed through the table in use when its owner lets go of it. Move-only; closing
// it twice, or closing one that holds nothing, does nothing.
class File {
 public:
  File() = default;
  ~File() { close(); }
  File(File&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  Handle get() const { return handle_; }
  // Where an open call of the table puts the handle it opens; anything held before is closed.
  Handle* receive() {
    close();
    return &handle_;
  }
  void close() {
    if (handle_ != kNoHandle) ops().close(std::exchange(handle_, kNoHandle));
  }

 private:
  Handle handle_ = kNoHandle;
};

// The listing form of a path or a name (see DirEntry).
std::string listing_form(std::string_view native_path);

// The listing form of an existing file or folder that still names it where it can: on Windows,
// when the ANSI code page cannot hold the path, its short (8.3) path, if the system keeps one
// that the code page can hold; otherwise listing_form.
std::string best_listing_form(std::string_view native_path);

// The native form of a path held in the listing form (a remembered folder, a caller's path).
std::string native_form(std::string_view listing_path);

// "\" on Windows, "/" elsewhere.
char separator();

// The folder path of a chosen folder: it ends in exactly the separator it needs
// (Windows also drops blanks at both ends, which its file names never carry there).
std::string folder_path(std::string_view chosen);

}  // namespace sw::fs
