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

#include "core/os/large_blocks.h"
#include "core/os/owned.h"

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

// The size of a file whose size the enumeration was not asked for.
inline constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

// When a file was last modified: nanoseconds since 1970-01-01 UTC.
inline constexpr std::int64_t kUnknownTime = INT64_MIN;

// When a file was last modified (its content) and last changed (its content or its entry: a
// rewrite in place moves both, as does a file put back with its old modification time).
struct FileTimes {
  std::int64_t modified = kUnknownTime;
  std::int64_t changed = kUnknownTime;
  bool operator==(const FileTimes&) const = default;
};

// What is known of a file before it is read: its size and times, each as the enumeration gave
// it (or unknown), or as the open file gives it. `look_at_open`: an open given an unknown size
// looks at the file (open_read); without it, the caller looks once it has read a piece (look).
struct FileFacts {
  std::uint64_t size = kUnknownSize;
  std::int64_t modified = kUnknownTime;
  std::int64_t changed = kUnknownTime;
  bool look_at_open = true;
};

// What a look at an open file tells.
struct FileLook {
  std::uint64_t size = 0;
  FileTimes times;
  bool regular = false;  // a regular file, not a device, FIFO or folder
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
  bool link = false;       // the entry is a symbolic link (or junction): `kind` is its target's
  std::uint64_t size = 0;  // full 64-bit size from the enumeration; kUnknownSize when not asked
  std::int64_t modified = kUnknownTime;  // where the enumeration gives it for nothing
  std::int64_t changed = kUnknownTime;   // likewise

  const std::string& native() const { return native_name.empty() ? name : native_name; }
};

// A folder's entries: of a large folder, the largest array a run holds.
using DirEntries = LargeVector<DirEntry>;

// "\" on Windows, "/" elsewhere.
char separator();
// Whether a file may be renamed while it is open: not on Windows, where a file open without
// delete sharing cannot be.
bool renames_open_files();
// Whether `c` separates the parts of a path: Windows takes "/" as well as "\".
bool is_separator(char c);

// A file's identity on its system: the device (volume) and the file's number on it.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileId&) const = default;
  auto operator<=>(const FileId&) const = default;
};

// What an own file of this program ("File CRCs.TXT", "CRC Comparison.TXT", "Checksum.def") is.
// Own files are only ever read or written as plain files: never through a symbolic link, and
// never a folder, a device or (on Windows) a hidden or system file or a reparse point.
enum class OwnFile : std::uint8_t { kAbsent, kPlain, kNotPlain };

// What a save must know of the entry it is about to replace.
struct ReplaceTarget {
  enum Kind : std::uint8_t { kAbsent, kPlain, kFolder, kOther };
  Kind kind = kAbsent;
  // What the replacement takes over: the permission bits of a plain file on POSIX (never a
  // set-ID or sticky bit), its hidden, system and archive attributes on Windows; for anything
  // else, what a new file gets.
  std::uint32_t keep = 0;
  // Why a folder, or a plain file that may not be written, must not be replaced (code 0: it may).
  SysError refusal;
};

enum class Created : std::uint8_t { kCreated, kExists, kFailed };

// Where an output file named by the user goes, its links followed.
struct OutputTarget {
  enum Kind : std::uint8_t {
    kFile,    // a plain file (or nothing yet) at `path`: written beside it and put in its place
    kStream,  // a character device or a FIFO at `path`: written straight through
  };
  Kind kind = kFile;
  std::string path;  // where the links led (native form)
};

// A thread of the platform, as start_thread gives it, and what it runs: body(arg). The caller
// keeps the ThreadStart until the thread is joined, so that starting a thread needs no memory of
// its own and the thread touches no heap.
using ThreadHandle = std::uintptr_t;
struct ThreadStart {
  void (*body)(void*);
  void* arg;
};
enum class Flushed : std::uint8_t { kDone, kUnsupported, kFailed };

// The calls of the table work openat-style: `name` is relative to the open folder `folder`,
// or a path of its own when `folder` is kNoHandle. A run opens its folder once and reaches
// everything in it by name, so folders deeper than the system's path limit work and another
// folder cannot be swapped in under the run.
struct Ops {
  // The process's working directory (no trailing separator except at a root).
  bool (*current_directory)(std::string* out, SysError* err);

  // Opens the folder `path` (which ends in the separator) to work in, and closes it.
  bool (*open_folder)(const std::string& path, Handle* out, SysError* err);
  void (*close_folder)(Handle folder);

  // Opens the subfolder `name` of the open folder `parent`, never through a link: a link, or
  // anything but a folder, under that name fails. `path` (ending in the separator) is what the
  // new folder is shown as; no call depends on its length.
  bool (*open_subfolder)(Handle parent, const std::string& name, const std::string& path,
                         Handle* out, SysError* err);

  // Which file or folder `name` in `folder` is (an empty name: the folder itself): two names
  // of one file give the same identity. Links are followed.
  bool (*identity)(Handle folder, const std::string& name, FileId* out, SysError* err);

  // All entries of the folder except "." and "..", in the system's order. Fails when the
  // folder cannot be enumerated to its end; the entries found before the failure are in `out`
  // all the same. Without `sizes`, files whose size would cost a lookup of their own (on
  // POSIX, every regular file) get kUnknownSize; the open file tells it later for free.
  bool (*list_folder)(Handle folder, bool sizes, DirEntries* out, SysError* err);

  // What an own file of that name is (see OwnFile). In a folder that tells case apart
  // (tells_case_apart), only a file of exactly that name is: another whose name differs in case
  // alone is the user's, and is absent as an own file.
  OwnFile (*own_file)(Handle folder, const std::string& name);

  // Whether the folder tells names apart that differ in letter case alone: on POSIX every folder;
  // on Windows one with case sensitivity switched on, or a folder of Linux under Wine.
  bool (*tells_case_apart)(Handle folder);

  // The size of the regular file `name` in `folder` (links followed); fails for anything else.
  bool (*file_size)(Handle folder, const std::string& name, std::uint64_t* size, SysError* err);

  // The directory search behind FILELEN: the size of the first entry matching `path`.
  bool (*find_first_size)(const char* path, std::uint64_t* size);

  // Opens an existing file for reading (on Windows shared with readers only: other readers get
  // in, a writer does not while it is read); links are followed. Never creates a file, never asks
  // for write access, never waits on a FIFO. `facts` is what the enumeration found; its size
  // decides the sequential-access hint, and a caller that gives it bounds what it reads by it.
  // When the size is kUnknownSize, only a regular file is opened and `facts` becomes what the
  // open file tells: its size and times (unless facts->look_at_open is false: then nothing is
  // looked at, and the caller looks once it has read). Times the enumeration did not give are
  // taken from the open file, so that they can be looked at again once it is read (look).
  bool (*open_read)(Handle folder, const std::string& name, FileFacts* facts, Handle* out,
                    SysError* err);

  // The same for an own file: only a plain file, never through a link.
  bool (*open_own_read)(Handle folder, const std::string& name, Handle* out, SysError* err);

  // The size, times and kind of the open file `h`.
  bool (*look)(Handle h, FileLook* out, SysError* err);

  // Whether the file system that holds `folder` stamps a change of a file from this machine's
  // clock (change_clock_now): then a change made after a moment has a change time at or after it.
  // Not so where another machine stamps it (a network share whose clock may differ) or times are
  // kept coarsely (FAT keeps two seconds).
  bool (*stamps_by_clock)(Handle folder);

  // Reads up to `size` bytes; *got is 0 at the end of the file.
  bool (*read)(Handle h, void* buffer, std::size_t size, std::size_t* got, SysError* err);

  void (*close)(Handle h);

  // Opens an own file for reading and writing without sharing, creating it when missing and
  // keeping its content; when write access is refused, opens it for reading only. Fails for
  // anything but a plain file.
  bool (*open_update)(Handle folder, const std::string& name, Handle* out, bool* writable,
                      SysError* err);

  // Writes all of `data` at byte `offset`.
  bool (*write_at)(Handle h, std::uint64_t offset, const void* data, std::size_t size,
                   SysError* err);

  // True when the folder may not be written (read-only attribute, no write permission).
  bool (*folder_is_read_only)(Handle folder);

  // What stands under `name` now, for a save that will replace it. In a folder that tells case
  // apart, a file whose name differs from `name` in case alone, which the system would take for
  // it, is refused: it is another file.
  bool (*inspect_target)(Handle folder, const std::string& name, ReplaceTarget* out, SysError* err);

  // Creates the plain file `name` for writing, only when nothing of that name exists (never
  // through a link), with the bits `keep` of ReplaceTarget. While the handle is open its writer
  // is known to live: remove_unheld leaves the file alone.
  Created (*create_new)(Handle folder, const std::string& name, std::uint32_t keep, Handle* out,
                        SysError* err);

  // Appends all of `data`.
  bool (*write)(Handle h, const void* data, std::size_t size, SysError* err);

  // Forces written data to the medium.
  bool (*flush)(Handle h, SysError* err);

  // Renames `from` over `to` in one step, replacing the entry `to` itself (never what a link
  // there leads to). The rename is made durable by flush_folder (on Windows, by the rename).
  bool (*replace)(Handle folder, const std::string& from, const std::string& to, SysError* err);
  // Makes the folder's entries (a rename made in it) durable.
  bool (*flush_folder)(Handle folder, SysError* err);

  // For saves made durable in batches: makes everything written to the file system that holds
  // `folder` durable, data and names alike (kUnsupported where the system cannot); and renames
  // `from` over `to` as replace does, but leaves the rename's durability to that flush (where
  // there is none, it makes the rename durable itself, as replace does).
  Flushed (*flush_volume)(Handle folder, SysError* err);
  bool (*move_over)(Handle folder, const std::string& from, const std::string& to, SysError* err);

  bool (*remove)(Handle folder, const std::string& name);

  // Removes the plain file `name` when no writer holds it (see create_new); false when one
  // still does, or it is not a plain file.
  bool (*remove_unheld)(Handle folder, const std::string& name);

  // Where the output file `path` goes: its symbolic links followed to what they name. Fails, with
  // the reason, for a link that leads nowhere, a folder, or anything but a plain file, a
  // character device or a FIFO: nothing else is ever written or replaced.
  bool (*resolve_output)(const std::string& path, OutputTarget* out, SysError* err);
  // Opens the character device or FIFO `path` to write through (a FIFO waits for its reader);
  // fails for anything else.
  bool (*open_stream)(const std::string& path, Handle* out, SysError* err);

  // Starts a thread that runs start->body(start->arg) on a stack of `stack` bytes (or the
  // system's least, if that is more); false, with the reason, when the system gives no thread:
  // nothing runs then. Every thread started is joined (join_thread), which also gives back what
  // it held; `start` must live until then.
  bool (*start_thread)(const ThreadStart* start, std::size_t stack, ThreadHandle* out,
                       SysError* err);
  void (*join_thread)(ThreadHandle thread);

  // Memory straight from the system: `size` bytes in whole pages, zeroed; with `huge` (an array
  // that will be touched through), on Linux on huge pages where they are to be had. Null when
  // the system gives none. unmap_pages gives back a block with the size and kind it was asked for.
  void* (*map_pages)(std::size_t size, bool huge);
  void (*unmap_pages)(void* block, std::size_t size, bool huge);
};

// The table in use. Tests may overwrite single entries and must restore them.
Ops& ops();
// The platform's own table, for restoring.
const Ops& platform_ops();

// An open file, closed through the table in use when its owner lets go of it.
struct TableFile {
  using Handle = fs::Handle;
  static Handle none() { return kNoHandle; }
  static void close(Handle h) { ops().close(h); }
};
using File = Owned<TableFile>;

// The processor time the process has used so far, all threads, in seconds.
double process_cpu_seconds();

// Now, by the clock the file systems of stamps_by_clock stamp changes with (nanoseconds since
// 1970-01-01 UTC, as FileTimes): cheap enough to read before every file.
std::int64_t change_clock_now();

// The process's own number, as the system shows it.
unsigned long process_id();

// Whether a call failed because the process has as many files open as it may.
bool out_of_handles(const SysError& error);
// The system's own error for that.
SysError out_of_handles_error();

// How many files and folders the process may hold open at once.
std::size_t handle_limit();
// How many it holds open now (standard streams and what it inherited included).
std::size_t handles_open();

// The listing form of a path or a name (see DirEntry).
std::string listing_form(std::string_view native_path);

// The listing form of an existing file or folder that still names it where it can: on Windows,
// when the ANSI code page cannot hold the path, its short (8.3) path, if the system keeps one
// that the code page can hold; otherwise listing_form.
std::string best_listing_form(std::string_view native_path);

// The native form of a path held in the listing form (a remembered folder, a caller's path).
std::string native_form(std::string_view listing_path);

// Names as the file system compares them. On Windows two names that differ only in letter case
// name one file, by the system's own upper-case table (so the code page's letters count too,
// not only A to Z); on POSIX every byte counts.
bool names_ignore_case();
// Whether two names in the listing form are one name by that rule.
bool same_name(std::string_view a, std::string_view b);
// What two names in the listing form share exactly when same_name holds, for lookup tables.
std::string name_key(std::string_view listing_name);

// An open folder (see Ops), closed through the table in use when its owner lets go of it, with
// the path it was opened by (kept to show it, and for the layers that need it).
class Folder {
 public:
  // Opens `path` (native form, ending in the separator).
  bool open(const std::string& path, SysError* err) {
    path_ = path;
    return ops().open_folder(path, handle_.receive(), err);
  }
  // Opens the subfolder `name` of `parent`, never through a link (Ops::open_subfolder).
  bool open_in(const Folder& parent, const std::string& name, SysError* err) {
    path_ = parent.path() + name;
    path_.push_back(separator());
    return ops().open_subfolder(parent.get(), name, path_, handle_.receive(), err);
  }
  bool is_open() const { return handle_.is_open(); }
  Handle get() const { return handle_.get(); }
  const std::string& path() const { return path_; }
  void close() { handle_.close(); }

 private:
  struct Traits {
    using Handle = fs::Handle;
    static Handle none() { return kNoHandle; }
    static void close(Handle h) { ops().close_folder(h); }
  };
  Owned<Traits> handle_;
  std::string path_;
};

// The folder path of a chosen folder: its bytes as given, ending in exactly one separator of
// its own (a root keeps the one it has).
std::string folder_path(std::string_view chosen);

// A path split after its last separator: the folder (ending in the separator; empty for a bare
// name) and the name.
std::pair<std::string, std::string> split_path(std::string_view path);

}  // namespace sw::fs
