// The file-system seam on POSIX systems. Everything in a run's folder is reached relative to
// the folder's descriptor (openat and its kin); own files are opened with O_NOFOLLOW.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <new>

#include "core/os/fs.h"

namespace sw::fs {
namespace {

constexpr std::uint64_t kSequentialHintMinimum = 1 << 20;

struct Descriptor {
  using Handle = int;
  static int none() { return -1; }
  static void close(int fd) { ::close(fd); }
};
using OwnedFd = Owned<Descriptor>;

bool fail(SysError* err, int code) {
  if (err != nullptr) {
    err->code = code;
    err->message = std::strerror(code);
  }
  return false;
}

// The descriptor the *at calls take: the folder, or the working directory for a path of its own.
int at(Handle folder) {
  return folder == kNoHandle ? AT_FDCWD : static_cast<int>(folder);
}

bool posix_current_directory(std::string* out, SysError* err) {
  std::string buf(256, '\0');
  for (;;) {
    if (::getcwd(buf.data(), buf.size()) != nullptr) {
      buf.resize(std::strlen(buf.c_str()));
      *out = std::move(buf);
      return true;
    }
    if (errno != ERANGE) return fail(err, errno);
    buf.resize(buf.size() * 2);
  }
}

bool posix_open_folder(const std::string& path, Handle* out, SysError* err) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return fail(err, errno);
  *out = fd;
  return true;
}

void posix_close_folder(Handle folder) {
  if (folder != kNoHandle) ::close(static_cast<int>(folder));
}

bool posix_open_subfolder(Handle parent, const std::string& name, const std::string& /*path*/,
                          Handle* out, SysError* err) {
  // One name, no separator: O_NOFOLLOW then refuses a link at the only step there is.
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return fail(err, EINVAL);
  const int fd = ::openat(at(parent), name.c_str(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(err, errno);
  *out = fd;
  return true;
}

bool posix_identity(Handle folder, const std::string& name, FileId* out, SysError* err) {
  struct stat st {};
  const int rc =
      name.empty() ? ::fstat(at(folder), &st) : ::fstatat(at(folder), name.c_str(), &st, 0);
  if (rc != 0) return fail(err, errno);
  *out = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

std::int64_t nanoseconds_of(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}
std::int64_t modified_of(const struct stat& st) {
  return nanoseconds_of(st.st_mtim);
}
std::int64_t changed_of(const struct stat& st) {
  return nanoseconds_of(st.st_ctim);
}

EntryKind kind_of(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return EntryKind::kFile;
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

// Looks up the kind and size of out[i] for every i in `which`, following symbolic links.
void look_up(int dfd, DirEntries& out, const std::vector<std::size_t>& which, std::size_t from,
             std::size_t to) {
  for (std::size_t k = from; k < to; ++k) {
    DirEntry& entry = out[which[k]];
    struct stat st {};
    // The entry itself first: only a link costs a second lookup, of its target.
    if (::fstatat(dfd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
    if (S_ISLNK(st.st_mode)) {
      entry.link = true;
      // A link whose target is missing, in a loop or out of reach is a file we cannot read.
      if (::fstatat(dfd, entry.name.c_str(), &st, 0) != 0) {
        entry.kind = EntryKind::kUnreachable;
        continue;
      }
    }
    entry.kind = kind_of(st);
    if (entry.kind == EntryKind::kFile) {
      entry.size = static_cast<std::uint64_t>(st.st_size);
      entry.modified = modified_of(st);
      entry.changed = changed_of(st);
    }
  }
}

// Below this many lookups a second thread costs more than it saves.
constexpr std::size_t kSharedLookupMinimum = 256;

// Room for the entries of the open folder `dfd`, judged from the folder's own size, asked for once
// a folder has shown itself large (`first` is where its entries begin in `out`). A vector that
// doubles as it goes writes every entry about twice, each time into memory the process has not
// touched before, and on a large folder those first touches were as costly as reading the names
// (a virtual machine pays about 10 us a page). A folder's size is at least about 16 bytes an entry
// on the common file systems (ext4 takes 12 or more and rounds its blocks up, tmpfs counts 20,
// btrfs twice the name), so this rarely falls short; room past the entries is never touched, so it
// costs address space only. Bounded, so that a folder that once held millions of names asks for
// no more than a few hundred megabytes of it.
void make_room(int dfd, DirEntries& out, std::size_t first) {
  constexpr std::size_t kBytesPerEntry = 16, kMostEntries = std::size_t{1} << 21;
  struct stat st {};
  if (::fstat(dfd, &st) != 0) return;
  const auto bytes = static_cast<std::uint64_t>(st.st_size);
  try {
    out.reserve(first + static_cast<std::size_t>(
                            std::min<std::uint64_t>(bytes / kBytesPerEntry, kMostEntries)));
  } catch (const std::bad_alloc&) {
    // Not that much at once: the vector grows as it goes instead.
  }
}

// A folder with this many entries is large enough to be given its room; a small one grows in a
// page or two, and a tree of small folders is spared a lookup each.
constexpr std::size_t kLargeFolderEntries = 1024;

// One entry as the system's enumeration gives it.
struct RawEntry {
  const char* name;
  unsigned char type;  // DT_*
};

#if defined(__linux__)
// Reads a folder's entries straight from the system, a batch at a time. A stream (fdopendir)
// would look the folder up and set its flags once more, three calls a folder that a tree pays for
// every one of its folders.
class EntryReader {
 public:
  explicit EntryReader(int fd) : fd_(fd) {}
  int fd() const { return fd_.get(); }
  // The next entry; false at the end, or on a failure (errno says which: 0 at the end).
  bool next(RawEntry* out) {
    if (at_ == end_) {
      const ssize_t got = ::getdents64(fd_.get(), buffer_, sizeof buffer_);
      if (got <= 0) {
        if (got == 0) errno = 0;
        return false;
      }
      at_ = 0;
      end_ = static_cast<std::size_t>(got);
    }
    const auto* d = reinterpret_cast<const struct dirent64*>(buffer_ + at_);
    at_ += d->d_reclen;
    *out = {d->d_name, d->d_type};
    return true;
  }

 private:
  OwnedFd fd_;
  alignas(struct dirent64) char buffer_[32 * 1024];
  std::size_t at_ = 0, end_ = 0;
};
#else
struct DirStream {
  using Handle = DIR*;
  static DIR* none() { return nullptr; }
  static void close(DIR* dir) { ::closedir(dir); }
};

class EntryReader {
 public:
  // The stream takes the descriptor (null when it cannot: next then fails with errno).
  explicit EntryReader(int fd) : dir_(::fdopendir(fd)), error_(errno) {
    if (!dir_.is_open()) ::close(fd);
  }
  int fd() const { return dir_.is_open() ? ::dirfd(dir_.get()) : -1; }
  bool next(RawEntry* out) {
    if (!dir_.is_open()) {
      errno = error_;
      return false;
    }
    errno = 0;
    const struct dirent* d = ::readdir(dir_.get());
    if (d == nullptr) return false;
    *out = {d->d_name, d->d_type};
    return true;
  }

 private:
  Owned<DirStream> dir_;
  int error_;
};
#endif

bool posix_list_folder(Handle folder, bool sizes, DirEntries* out, SysError* err) {
  // Entries are read through a descriptor of their own, so the folder's stays where it was for
  // the rest of the run.
  const int fd = ::openat(at(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return fail(err, errno);
  EntryReader reader(fd);
  const int dfd = reader.fd();
  const std::size_t first = out->size();
  // Entries still to look up: regular files need their size, links and unknown types their
  // target.
  std::vector<std::size_t> unsized;
  RawEntry d{};
  while (reader.next(&d)) {
    if (std::strcmp(d.name, ".") == 0 || std::strcmp(d.name, "..") == 0) continue;
    DirEntry entry;
    entry.name = d.name;
    switch (d.type) {
      case DT_DIR:
        entry.kind = EntryKind::kDirectory;
        break;
      case DT_FIFO:
      case DT_SOCK:
      case DT_CHR:
      case DT_BLK:
        entry.kind = EntryKind::kOther;
        break;
      case DT_REG:
        if (!sizes) {
          entry.kind = EntryKind::kFile;
          entry.size = kUnknownSize;
          break;
        }
        [[fallthrough]];
      default:
        unsized.push_back(out->size());
    }
    if (out->size() - first == kLargeFolderEntries) make_room(dfd, *out, first);
    out->push_back(std::move(entry));
  }
  const int read_errno = errno;
  // A lookup per file is most of the enumeration's time; two threads share them. Where no
  // thread is to be had, this one does all.
  struct Half {
    int dfd;
    DirEntries* out;
    const std::vector<std::size_t>* unsized;
    std::size_t from;
  } half{dfd, out, &unsized, unsized.size() / 2};
  const ThreadStart look_up_half{[](void* arg) {
                                   const auto* h = static_cast<Half*>(arg);
                                   look_up(h->dfd, *h->out, *h->unsized, h->from,
                                           h->unsized->size());
                                 },
                                 &half};
  ThreadHandle helper = 0;
  SysError no_thread;
  const bool shared = unsized.size() >= kSharedLookupMinimum &&
                      ops().start_thread(&look_up_half, 256 * 1024, &helper, &no_thread);
  look_up(dfd, *out, unsized, 0, shared ? half.from : unsized.size());
  if (shared) ops().join_thread(helper);
  return read_errno == 0 ? true : fail(err, read_errno);
}

OwnFile posix_own_file(Handle folder, const std::string& name) {
  struct stat st {};
  if (::fstatat(at(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? OwnFile::kAbsent : OwnFile::kNotPlain;
  return S_ISREG(st.st_mode) ? OwnFile::kPlain : OwnFile::kNotPlain;
}

bool posix_tells_case_apart(Handle /*folder*/) {
  return true;  // every byte of a name counts
}

bool posix_file_size(Handle folder, const std::string& name, std::uint64_t* size, SysError* err) {
  struct stat st {};
  if (::fstatat(at(folder), name.c_str(), &st, 0) != 0) return fail(err, errno);
  if (!S_ISREG(st.st_mode)) return fail(err, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  *size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool posix_find_first_size(const char* path, std::uint64_t* size) {
  struct stat st {};
  if (::stat(path, &st) != 0) return false;
  *size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  return true;
}

// Opens for reading. O_NONBLOCK keeps a FIFO that took the file's place from blocking the open.
// With an unknown size, only a regular file is kept and the size is looked up; with a known
// one, the caller bounds what it reads by it, which spares a call per file on the folder pass.
bool open_regular(Handle folder, const std::string& name, int flags, FileFacts* facts, Handle* out,
                  SysError* err) {
  OwnedFd fd(
      ::openat(at(folder), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | flags));
  if (!fd.is_open()) return fail(err, errno);
  std::uint64_t size = facts->size;
  if (size == kUnknownSize && facts->look_at_open) {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(err, errno);
    if (!S_ISREG(st.st_mode)) return fail(err, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    size = static_cast<std::uint64_t>(st.st_size);
    *facts = {size, modified_of(st), changed_of(st)};
  }
#ifdef POSIX_FADV_SEQUENTIAL
  // The hint widens read-ahead for large files; for small ones it is only another call. (A file
  // not looked at gets none: most are small.)
  if (size != kUnknownSize && size >= kSequentialHintMinimum)
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  *out = fd.release();
  return true;
}

bool posix_open_read(Handle folder, const std::string& name, FileFacts* facts, Handle* out,
                     SysError* err) {
  return open_regular(folder, name, 0, facts, out, err);
}

bool posix_open_own_read(Handle folder, const std::string& name, Handle* out, SysError* err) {
  FileFacts facts;
  return open_regular(folder, name, O_NOFOLLOW, &facts, out, err);
}

bool posix_look(Handle h, FileLook* out, SysError* err) {
  struct stat st {};
  if (::fstat(static_cast<int>(h), &st) != 0) return fail(err, errno);
  *out = {static_cast<std::uint64_t>(st.st_size),
          {modified_of(st), changed_of(st)},
          S_ISREG(st.st_mode)};
  return true;
}

bool posix_stamps_by_clock(Handle folder) {
#if defined(__linux__)
  // Local file systems that stamp change times from the kernel's own clock, finer than a second.
  constexpr unsigned long kLocal[] = {
      0xEF53,      // ext2, ext3, ext4
      0x58465342,  // XFS
      0x9123683E,  // Btrfs
      0x01021994,  // tmpfs
      0x858458F6,  // ramfs
      0xF2F52010,  // F2FS
      0x2FC12FC1,  // ZFS
      0xCA451A4E,  // bcachefs
      0x794C7630,  // overlayfs (its layers are local)
  };
  struct statfs fs {};
  if (::fstatfs(at(folder), &fs) != 0) return false;
  const auto type = static_cast<unsigned long>(fs.f_type);
  return std::find(std::begin(kLocal), std::end(kLocal), type) != std::end(kLocal);
#else
  (void)folder;
  return false;
#endif
}

bool posix_read(Handle h, void* buffer, std::size_t size, std::size_t* got, SysError* err) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(h), buffer, size);
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return true;
    }
    if (errno != EINTR) return fail(err, errno);
  }
}

void posix_close(Handle h) {
  if (h != kNoHandle) ::close(static_cast<int>(h));
}

bool posix_open_update(Handle folder, const std::string& name, Handle* out, bool* writable,
                       SysError* err) {
  constexpr int kFlags = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
  OwnedFd fd(::openat(at(folder), name.c_str(), O_RDWR | O_CREAT | kFlags, 0666));
  *writable = fd.is_open();
  if (!fd.is_open() && (errno == EACCES || errno == EROFS || errno == EPERM))
    *fd.receive() = ::openat(at(folder), name.c_str(), O_RDONLY | kFlags);
  if (!fd.is_open()) return fail(err, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return fail(err, errno);
  if (!S_ISREG(st.st_mode)) return fail(err, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  *out = fd.release();
  return true;
}

bool write_all(int fd, const char* p, std::size_t size, const std::uint64_t* offset,
               SysError* err) {
  std::uint64_t pos = offset != nullptr ? *offset : 0;
  while (size > 0) {
    const ssize_t n =
        offset != nullptr ? ::pwrite(fd, p, size, static_cast<off_t>(pos)) : ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(err, errno);
    }
    p += n;
    pos += static_cast<std::uint64_t>(n);
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool posix_write_at(Handle h, std::uint64_t offset, const void* data, std::size_t size,
                    SysError* err) {
  return write_all(static_cast<int>(h), static_cast<const char*>(data), size, &offset, err);
}

bool posix_write(Handle h, const void* data, std::size_t size, SysError* err) {
  return write_all(static_cast<int>(h), static_cast<const char*>(data), size, nullptr, err);
}

bool posix_folder_is_read_only(Handle folder) {
  return ::faccessat(at(folder), ".", W_OK, 0) != 0 && (errno == EACCES || errno == EROFS);
}

// The permission bits a new file gets: 0666 less the umask. Read by setting it and putting it
// back, once: nothing in this program changes it, and a tree would otherwise pay two calls a
// folder.
mode_t new_file_mode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
  }();
  return mode;
}

bool posix_inspect_target(Handle folder, const std::string& name, ReplaceTarget* out,
                          SysError* err) {
  *out = ReplaceTarget{};
  out->keep = new_file_mode();
  struct stat st {};
  if (::fstatat(at(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? true : fail(err, errno);
  if (S_ISDIR(st.st_mode)) {
    out->kind = ReplaceTarget::kFolder;
    fail(&out->refusal, EISDIR);
  } else if (S_ISREG(st.st_mode)) {
    out->kind = ReplaceTarget::kPlain;
    out->keep = st.st_mode & 0777;  // the permission bits alone: no set-ID, no sticky bit
    if (::faccessat(at(folder), name.c_str(), W_OK, AT_EACCESS) != 0) fail(&out->refusal, errno);
  } else {
    out->kind = ReplaceTarget::kOther;  // a link, whatever it leads to, lends nothing
  }
  return true;
}

Created posix_create_new(Handle folder, const std::string& name, std::uint32_t keep, Handle* out,
                         SysError* err) {
  OwnedFd fd(::openat(at(folder), name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
  if (!fd.is_open()) {
    const int code = errno;
    fail(err, code);
    return code == EEXIST ? Created::kExists : Created::kFailed;
  }
  // The lock tells a later run that the writer still lives; the system drops it with the
  // writer, however that ends. The bits come last: until then nobody else may read the file.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fchmod(fd.get(), keep) != 0) {
    fail(err, errno);
    ::unlinkat(at(folder), name.c_str(), 0);
    return Created::kFailed;
  }
  *out = fd.release();
  return Created::kCreated;
}

bool posix_flush(Handle h, SysError* err) {
  return ::fsync(static_cast<int>(h)) == 0 ? true : fail(err, errno);
}

bool posix_replace(Handle folder, const std::string& from, const std::string& to, SysError* err) {
  if (::renameat(at(folder), from.c_str(), at(folder), to.c_str()) != 0) return fail(err, errno);
  return true;
}

// The new name lives in the folder: only the folder's own flush makes it survive a power cut.
bool posix_flush_folder(Handle folder, SysError* err) {
  if (folder != kNoHandle && ::fsync(static_cast<int>(folder)) != 0 && errno != EINVAL)
    return fail(err, errno);
  return true;
}

Flushed posix_flush_volume(Handle folder, SysError* err) {
#if defined(__linux__)
  // syncfs writes back every dirty page and inode of the file system, waits for them and flushes
  // the device's cache: what an fsync of each file and each folder would have made durable.
  if (::syncfs(at(folder)) == 0) return Flushed::kDone;
  fail(err, errno);
  return Flushed::kFailed;
#else
  (void)folder;
  (void)err;
  return Flushed::kUnsupported;
#endif
}

bool posix_move_over(Handle folder, const std::string& from, const std::string& to, SysError* err) {
#if defined(__linux__)
  return ::renameat(at(folder), from.c_str(), at(folder), to.c_str()) == 0 ? true
                                                                           : fail(err, errno);
#else
  // No volume flush to leave it to.
  return posix_replace(folder, from, to, err) && posix_flush_folder(folder, err);
#endif
}

bool posix_remove(Handle folder, const std::string& name) {
  return ::unlinkat(at(folder), name.c_str(), 0) == 0;
}

bool posix_remove_unheld(Handle folder, const std::string& name) {
  const OwnedFd fd(::openat(at(folder), name.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.is_open()) return false;
  struct stat held {};
  struct stat named {};
  // Its writer holds the lock while it lives; the entry must still be the file we locked.
  return ::fstat(fd.get(), &held) == 0 && S_ISREG(held.st_mode) &&
         ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
         ::fstatat(at(folder), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
         ::unlinkat(at(folder), name.c_str(), 0) == 0;
}

bool posix_resolve_output(const std::string& path, OutputTarget* out, SysError* err) {
  std::string at = path;
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0) {
      if (errno != ENOENT) return fail(err, errno);
      if (hops == 0) {  // nothing there yet: a new plain file
        *out = {OutputTarget::kFile, at};
        return true;
      }
      fail(err, ENOENT);
      err->message = "it is a symbolic link to " + at + ", which does not exist";
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      if (hops == 40) return fail(err, ELOOP);
      std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
      ssize_t n = 0;
      // A link may change between its look and its reading: a target that fills the buffer may
      // be cut, and is read again into more room.
      while ((n = ::readlink(at.c_str(), target.data(), target.size())) >= 0 &&
             static_cast<std::size_t>(n) == target.size())
        target.resize(target.size() * 2);
      if (n < 0) return fail(err, errno);
      target.resize(static_cast<std::size_t>(n));
      // A relative target is relative to the link's own folder.
      if (!target.empty() && target.front() != '/') {
        const std::size_t slash = at.rfind('/');
        target = (slash == std::string::npos ? std::string() : at.substr(0, slash + 1)) + target;
      }
      at = std::move(target);
      continue;
    }
    if (S_ISREG(st.st_mode)) {
      *out = {OutputTarget::kFile, at};
    } else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
      *out = {OutputTarget::kStream, at};
    } else {
      fail(err, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
      if (!S_ISDIR(st.st_mode))
        err->message = "it is not a plain file, a character device or a FIFO";
      return false;
    }
    return true;
  }
}

bool posix_open_stream(const std::string& path, Handle* out, SysError* err) {
  OwnedFd fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!fd.is_open()) return fail(err, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return fail(err, errno);
  if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) return fail(err, EINVAL);
  *out = fd.release();
  return true;
}

bool posix_start_thread(const ThreadStart* start, std::size_t stack, ThreadHandle* out,
                        SysError* err) {
  pthread_attr_t attr;
  if (const int rc = ::pthread_attr_init(&attr); rc != 0) return fail(err, rc);
  const auto least = static_cast<std::size_t>(PTHREAD_STACK_MIN);
  int rc = ::pthread_attr_setstacksize(&attr, stack < least ? least : stack);
  pthread_t thread{};
  if (rc == 0)
    rc = ::pthread_create(
        &thread, &attr,
        [](void* p) -> void* {
          const auto* s = static_cast<const ThreadStart*>(p);
          s->body(s->arg);
          return nullptr;
        },
        const_cast<ThreadStart*>(start));
  ::pthread_attr_destroy(&attr);
  if (rc != 0) return fail(err, rc);
  *out = static_cast<ThreadHandle>(thread);
  return true;
}

void posix_join_thread(ThreadHandle thread) {
  ::pthread_join(static_cast<pthread_t>(thread), nullptr);
}

// Large arrays are placed on huge pages where the system offers them: a run over a folder of
// small files in memory touches a few megabytes of such arrays once each, and the first touch of
// every 4 KiB page is a fault, about 10 us on a virtual machine; a huge page is one fault for 512
// of them (bench/README.md, "Folder pass"). Such a block is mapped whole huge pages long, on a
// huge-page boundary: only whole huge pages can be huge. What it maps past the block is address
// space that is never touched. Buffers that are barely touched (a reader's, when its files are
// small) take ordinary pages: a huge page zeroes 2 MiB at its first touch.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The length mapped for a block of `size` bytes.
std::size_t mapped_length(std::size_t size, bool huge) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t unit = huge ? kHugePage : page;
  return (size + unit - 1) / unit * unit;
}

void* posix_map_pages(std::size_t size, bool huge) {
  if (size == 0 || size > SIZE_MAX - 2 * kHugePage) return nullptr;
  const std::size_t length = mapped_length(size, huge);
  const std::size_t reach = huge ? length + kHugePage : length;
  void* mapped = ::mmap(nullptr, reach, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  if (!huge) return mapped;
  // The boundary: what lies before it and after the block is given back at once.
  auto* start = static_cast<char*>(mapped);
  const auto address = reinterpret_cast<std::uintptr_t>(start);
  char* aligned = start + ((kHugePage - address % kHugePage) % kHugePage);
  if (aligned > start) ::munmap(start, static_cast<std::size_t>(aligned - start));
  char* end = start + reach;
  if (end > aligned + length)
    ::munmap(aligned + length, static_cast<std::size_t>(end - aligned - length));
#ifdef MADV_HUGEPAGE
  ::madvise(aligned, length, MADV_HUGEPAGE);  // advice only: the pages are ordinary without it
#endif
  return aligned;
}

void posix_unmap_pages(void* block, std::size_t size, bool huge) {
  if (block != nullptr) ::munmap(block, mapped_length(size, huge));
}

constexpr Ops kPosixOps = {
    .current_directory = &posix_current_directory,
    .open_folder = &posix_open_folder,
    .close_folder = &posix_close_folder,
    .open_subfolder = &posix_open_subfolder,
    .identity = &posix_identity,
    .list_folder = &posix_list_folder,
    .own_file = &posix_own_file,
    .tells_case_apart = &posix_tells_case_apart,
    .file_size = &posix_file_size,
    .find_first_size = &posix_find_first_size,
    .open_read = &posix_open_read,
    .open_own_read = &posix_open_own_read,
    .look = &posix_look,
    .stamps_by_clock = &posix_stamps_by_clock,
    .read = &posix_read,
    .close = &posix_close,
    .open_update = &posix_open_update,
    .write_at = &posix_write_at,
    .folder_is_read_only = &posix_folder_is_read_only,
    .inspect_target = &posix_inspect_target,
    .create_new = &posix_create_new,
    .write = &posix_write,
    .flush = &posix_flush,
    .replace = &posix_replace,
    .flush_folder = &posix_flush_folder,
    .flush_volume = &posix_flush_volume,
    .move_over = &posix_move_over,
    .remove = &posix_remove,
    .remove_unheld = &posix_remove_unheld,
    .resolve_output = &posix_resolve_output,
    .open_stream = &posix_open_stream,
    .start_thread = &posix_start_thread,
    .join_thread = &posix_join_thread,
    .map_pages = &posix_map_pages,
    .unmap_pages = &posix_unmap_pages,
};

constinit Ops g_ops = kPosixOps;

}  // namespace

Ops& ops() {
  return g_ops;
}
const Ops& platform_ops() {
  return kPosixOps;
}

std::int64_t change_clock_now() {
  struct timespec now {};
#if defined(CLOCK_REALTIME_COARSE)
  // The kernel stamps a change from this coarse clock (or finer): a change after this moment is
  // stamped at or after it.
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
#else
  ::clock_gettime(CLOCK_REALTIME, &now);
#endif
  return nanoseconds_of(now);
}

double process_cpu_seconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

unsigned long process_id() {
  // Asked once: every save's temporary name carries it, and this program never forks to save.
  static const unsigned long id = static_cast<unsigned long>(::getpid());
  return id;
}

bool out_of_handles(const SysError& error) {
  return error.code == EMFILE || error.code == ENFILE;
}

SysError out_of_handles_error() {
  return {EMFILE, std::strerror(EMFILE)};
}

std::size_t handles_open() {
  // The limit bounds the numbers of descriptors: one inherited above it takes no place below.
  const std::size_t limit = handle_limit();
#if defined(__linux__)
  // The system lists them; the listing's own descriptor is not counted.
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(fds);
    std::size_t open = 0;
    while (const struct dirent* d = ::readdir(fds)) {
      if (d->d_name[0] == '.') continue;
      const unsigned long fd = std::strtoul(d->d_name, nullptr, 10);
      if (fd < limit && fd != static_cast<unsigned long>(own)) ++open;
    }
    ::closedir(fds);
    return open;
  }
#endif
  // Elsewhere each descriptor is asked after, up to a bound: a process with thousands open
  // inherited them, and a run will not want that many.
  std::size_t open = 0;
  for (std::size_t fd = 0; fd < limit && fd < 4096; ++fd)
    if (::fcntl(static_cast<int>(fd), F_GETFD) != -1) ++open;
  return open;
}

std::size_t handle_limit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return std::size_t{1} << 20;
  return static_cast<std::size_t>(limit.rlim_cur);
}

std::string listing_form(std::string_view native_path) {
  return std::string(native_path);
}
std::string best_listing_form(std::string_view native_path) {
  return std::string(native_path);
}
std::string native_form(std::string_view listing_path) {
  return std::string(listing_path);
}

bool names_ignore_case() {
  return false;
}
bool same_name(std::string_view a, std::string_view b) {
  return a == b;
}
std::string name_key(std::string_view listing_name) {
  return std::string(listing_name);
}

char separator() {
  return '/';
}

bool renames_open_files() {
  return true;
}

bool is_separator(char c) {
  return c == '/';
}

}  // namespace sw::fs
