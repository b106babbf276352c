#include "core/file_crc.h"

#include <new>

#include "core/crc/crc32.h"
#include "core/text.h"

namespace sw {

ReadBuffer::ReadBuffer(std::size_t size)
    : size_(size), data_(static_cast<std::uint8_t*>(fs::ops().map_pages(size))) {
  if (data_ == nullptr) throw std::bad_alloc();
}

ReadBuffer::~ReadBuffer() {
  fs::ops().unmap_pages(data_, size_);
}

FileChecksum checksum_file(fs::Handle folder, const std::string& name, ReadBuffer& buffer,
                           ByteProgress* progress, std::optional<fs::FileFacts> known_facts,
                           const StopRequest* stop) {
  FileChecksum result;
  const fs::Ops& os = fs::ops();
  fs::File file;
  const bool expected_size = known_facts.has_value();
  // An unknown size makes the open look it up from the file itself.
  fs::FileFacts facts = known_facts.value_or(fs::FileFacts{});
  if (!os.open_read(folder, name, &facts, file.receive(), &result.error)) {
    result.readable = false;
    return result;
  }
  result.modified = facts.modified;
  const std::uint64_t known = facts.size;
  std::uint32_t crc = kCrcInitial;
  for (;;) {
    if (stop_requested(stop)) {
      result.readable = false;
      result.stopped = true;
      break;
    }
    std::size_t got = 0;
    if (!os.read(file.get(), buffer.data(), buffer.size(), &got, &result.error)) {
      result.readable = false;
      break;
    }
    if (got == 0) break;
    crc = CRCUPDATE(buffer.data(), got, crc);
    result.bytes += got;
    if (progress != nullptr) progress->on_bytes(got);
    if (expected_size) {
      // A short read of a regular file is its end: when that is the expected size, the
      // further read that would give 0 is spared (most files of a folder fit one read). Past
      // the expected size the file changed, or is no file at all: reading stops.
      if (got < buffer.size() && result.bytes == known) break;
      if (result.bytes > known) break;
    }
  }
  file.close();
  if (result.readable && expected_size && result.bytes != known) {
    result.readable = false;
    result.error = {0, kChangedWhileRead};
  }
  // A partial checksum would look like a real one in the listing: an unreadable file is 0.
  result.crc = result.readable ? crc ^ kCrcFinalXor : 0;
  return result;
}

std::string FILECRC(const std::string& path) {
  ReadBuffer buffer(64 * 1024);
  return checksum_text(checksum_file(path, buffer).crc);
}

std::int32_t FILELEN(const char* path) {
  if (path == nullptr) return -1;
  std::uint64_t size = 0;
  if (!fs::ops().find_first_size(path, &size)) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
}

}  // namespace sw
