// Checksums of whole files, read in pieces through one reused buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/os/fs.h"
#include "core/stop.h"

namespace sw {

// A page-aligned read buffer, allocated once and reused for every file of a run. Pieces of
// 1 MiB read cached files faster than 256 or 512 KiB (bench/README.md, "Folder pass"). Its pages
// come straight from the system (fs::Ops::map_pages), not from the heap: a reader thread that
// never uses the heap is never given a heap of its own, which reserves 64 MiB of address space
// apiece on Linux and so counts against a memory limit (ulimit -v). Throws std::bad_alloc when
// the system gives no memory.
class ReadBuffer {
 public:
  static constexpr std::size_t kDefaultSize = 1024 * 1024;
  explicit ReadBuffer(std::size_t size = kDefaultSize);
  ~ReadBuffer();
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;
  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_;
  std::uint8_t* data_;
};

struct FileChecksum {
  std::uint32_t crc = 0;    // 0 (the CRC of nothing) when the file could not be read whole
  std::uint64_t bytes = 0;  // bytes fed into the CRC
  // When the file was last modified, where the enumeration or the open gave it for nothing.
  std::int64_t modified = fs::kUnknownTime;
  bool readable = true;
  fs::SysError error;    // why, when not readable
  bool stopped = false;  // the read was given up for a stop request: nothing is known of the file
};

// Progress inside large files: called as pieces are read, with the bytes read since the last
// call. In a folder pass these include pieces its reader threads read; the call itself always
// comes on the thread that runs the pass, with 0 while it only waits.
class ByteProgress {
 public:
  virtual ~ByteProgress() = default;
  virtual void on_bytes(std::uint64_t count) = 0;
};

// The CRC-32 of the whole content of the file `name` in the open folder `folder` (kNoHandle:
// `name` is a path of its own). A file that cannot be opened, or fails to read part-way, gives
// crc 0 and readable false; nothing is ever created or written. With `known` (whose size may be
// fs::kUnknownSize: the size the file has when it is opened), a file whose size or times differ
// between the open and the end of its read changed while it was read, and counts as unreadable
// too; `clock_first`: its folder's file system stamps changes by this machine's clock
// (fs::Ops::stamps_by_clock), so the clock may stand for the look at the open. A stop requested
// while the file is read ends the read at the next piece (FileChecksum::stopped).
FileChecksum checksum_file(fs::Handle folder, const std::string& name, ReadBuffer& buffer,
                           ByteProgress* progress = nullptr,
                           std::optional<fs::FileFacts> known = std::nullopt,
                           const StopRequest* stop = nullptr, bool clock_first = false);

inline FileChecksum checksum_file(const std::string& path, ReadBuffer& buffer,
                                  ByteProgress* progress = nullptr) {
  return checksum_file(fs::kNoHandle, path, buffer, progress);
}

// The reason given for a file whose size changed while it was read.
inline constexpr const char* kChangedWhileRead = "the file changed while it was read";

// Checksum text of the file's content; "0" when it cannot be read.
std::string FILECRC(const std::string& path);

// The low 32 bits of the size of the first entry the directory search finds for `path`,
// read as signed; -1 for a null path or when nothing matches.
std::int32_t FILELEN(const char* path);

}  // namespace sw
