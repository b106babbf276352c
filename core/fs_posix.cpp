// The file-system seam on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>

#include "core/fs.h"

namespace sw::fs {
namespace {

constexpr off_t kSequentialHintMinimum = 1 << 20;

bool fail(SysError* err, int code) {
  if (err != nullptr) {
    err->code = code;
    err->message = std::strerror(code);
  }
  return false;
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

EntryKind kind_of(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return EntryKind::kFile;
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

// Looks up the kind and size of out[i] for every i in `which`, following symbolic links.
void look_up(int dfd, std::vector<DirEntry>& out, const std::vector<std::size_t>& which,
             std::size_t from, std::size_t to) {
  for (std::size_t k = from; k < to; ++k) {
    DirEntry& entry = out[which[k]];
    struct stat st {};
    if (::fstatat(dfd, entry.name.c_str(), &st, 0) != 0) {
      // A link whose target is missing, in a loop or out of reach is a file we cannot read;
      // an entry that is gone altogether stays kOther.
      if (::fstatat(dfd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        entry.kind = EntryKind::kUnreachable;
      continue;
    }
    entry.kind = kind_of(st);
    if (entry.kind == EntryKind::kFile) entry.size = static_cast<std::uint64_t>(st.st_size);
  }
}

// Below this many lookups a second thread costs more than it saves.
constexpr std::size_t kSharedLookupMinimum = 256;

bool posix_list_folder(const std::string& folder, std::vector<DirEntry>* out, SysError* err) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return fail(err, errno);
  const int dfd = ::dirfd(dir);
  // Entries still to look up: regular files need their size, links and unknown types their
  // target.
  std::vector<std::size_t> unsized;
  for (;;) {
    errno = 0;
    const struct dirent* d = ::readdir(dir);
    if (d == nullptr) break;
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    DirEntry entry;
    entry.name = d->d_name;
    switch (d->d_type) {
      case DT_DIR:
        entry.kind = EntryKind::kDirectory;
        break;
      case DT_FIFO:
      case DT_SOCK:
      case DT_CHR:
      case DT_BLK:
        entry.kind = EntryKind::kOther;
        break;
      default:
        unsized.push_back(out->size());
    }
    out->push_back(std::move(entry));
  }
  const int read_errno = errno;
  // A lookup per file is most of the enumeration's time; two threads share them.
  const std::size_t half = unsized.size() / 2;
  std::thread helper;
  if (unsized.size() >= kSharedLookupMinimum) {
    try {
      helper = std::thread(look_up, dfd, std::ref(*out), std::cref(unsized), half, unsized.size());
    } catch (const std::system_error&) {
      // No thread to be had: this one does all.
    }
  }
  look_up(dfd, *out, unsized, 0, helper.joinable() ? half : unsized.size());
  if (helper.joinable()) helper.join();
  ::closedir(dir);
  return read_errno == 0 ? true : fail(err, read_errno);
}

bool posix_is_plain_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool posix_find_first_size(const char* path, std::uint64_t* size) {
  struct stat st {};
  if (::stat(path, &st) != 0) return false;
  *size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  return true;
}

bool posix_open_read(const std::string& path, Handle* out, SysError* err) {
  // O_NONBLOCK keeps a FIFO that took the file's place from blocking the open; only
  // regular files are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fail(err, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int code = errno;
    ::close(fd);
    return fail(err, code);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(err, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
#ifdef POSIX_FADV_SEQUENTIAL
  // The hint widens read-ahead for large files; for small ones it is only another call.
  if (st.st_size >= kSequentialHintMinimum) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  *out = fd;
  return true;
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

bool posix_open_update(const std::string& path, Handle* out, bool* writable, SysError* err) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  *writable = fd >= 0;
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(err, errno);
  *out = fd;
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

bool posix_folder_is_read_only(const std::string& folder) {
  return ::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS);
}

bool posix_create_temp_beside(const std::string& target, Handle* out, std::string* temp_path,
                              SysError* err) {
  // A target the user made unwritable is not replaced behind their back.
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && ::access(target.c_str(), W_OK) != 0) return fail(err, errno);
  std::string name = target + ".tmp-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return fail(err, errno);
  mode_t mode = 0;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);  // the replacement keeps the permissions a new file would have
  *out = fd;
  *temp_path = std::move(name);
  return true;
}

bool posix_flush(Handle h, SysError* err) {
  return ::fsync(static_cast<int>(h)) == 0 ? true : fail(err, errno);
}

bool posix_replace(const std::string& from, const std::string& to, SysError* err) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? true : fail(err, errno);
}

bool posix_remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

constexpr Ops kPosixOps = {
    .current_directory = &posix_current_directory,
    .list_folder = &posix_list_folder,
    .is_plain_file = &posix_is_plain_file,
    .find_first_size = &posix_find_first_size,
    .open_read = &posix_open_read,
    .read = &posix_read,
    .close = &posix_close,
    .open_update = &posix_open_update,
    .write_at = &posix_write_at,
    .folder_is_read_only = &posix_folder_is_read_only,
    .create_temp_beside = &posix_create_temp_beside,
    .write = &posix_write,
    .flush = &posix_flush,
    .replace = &posix_replace,
    .remove = &posix_remove,
};

constinit Ops g_ops = kPosixOps;

}  // namespace

Ops& ops() {
  return g_ops;
}
const Ops& platform_ops() {
  return kPosixOps;
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

char separator() {
  return '/';
}

std::string folder_path(std::string_view chosen) {
  std::string path(chosen);
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace sw::fs
