#include "core/file_crc.h"

#include <new>
#include <utility>

#include "core/crc/crc32.h"
#include "core/text.h"

namespace sw {

ReadBuffer::ReadBuffer(std::size_t size)
    : size_(size), data_(static_cast<std::uint8_t*>(fs::ops().map_pages(size, /*huge=*/false))) {
  if (data_ == nullptr) throw std::bad_alloc();
}

ReadBuffer::~ReadBuffer() {
  fs::ops().unmap_pages(data_, size_, /*huge=*/false);
}

namespace {

FileChecksum unreadable(FileChecksum result, fs::SysError error) {
  result.readable = false;
  result.error = std::move(error);
  return result;
}

}  // namespace

FileChecksum checksum_file(fs::Handle folder, const std::string& name, ReadBuffer& buffer,
                           ByteProgress* progress, std::optional<fs::FileFacts> known_facts,
                           const StopRequest* stop, bool clock_first) {
  FileChecksum result;
  const fs::Ops& os = fs::ops();
  fs::File file;
  const bool checked = known_facts.has_value();
  fs::FileFacts facts = known_facts.value_or(fs::FileFacts{});
  // A file must not change while it is read: its checksum would be of a state that never
  // existed (a database, a disk image or dd conv=notrunc rewrites in place, at the same size),
  // and would become a baseline. So it is looked at before and after; a change moves its change
  // time. Where the file system stamps changes from this machine's clock and the size is not yet
  // known, the look before is the clock itself, read before the open, and the one look that is
  // taken after the first piece tells whether anything changed since: one look a file instead of
  // two, which is most of the cost of a file read by one call. A file that changed since that
  // moment (just before its open, or while it was read) is read again, looked at before and after.
  const bool by_clock = checked && clock_first && facts.size == fs::kUnknownSize;
  const std::int64_t before_open = by_clock ? fs::change_clock_now() : fs::kUnknownTime;
  facts.look_at_open = !by_clock;
  if (!os.open_read(folder, name, &facts, file.receive(), &result.error)) {
    result.readable = false;
    return result;
  }
  bool sized = facts.size != fs::kUnknownSize;
  bool looked_at_end = false;  // the last look was taken after the last piece
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
    if (!checked) continue;
    if (!sized) {
      // Not looked at before: now, after its first piece, before anything more is read (what
      // took a file's place may be a device that never ends).
      fs::FileLook look;
      if (!os.look(file.get(), &look, &result.error)) return unreadable(result, result.error);
      if (!look.regular) return unreadable(result, {0, "it is no longer a regular file"});
      if (look.times.changed >= before_open) {
        file.close();
        return checksum_file(folder, name, buffer, progress, known_facts, stop, false);
      }
      facts.size = look.size;
      facts.modified = look.times.modified;
      facts.changed = look.times.changed;
      sized = true;
      looked_at_end = got < buffer.size() && result.bytes == facts.size;
    }
    // A short read of a regular file is its end: when that is the expected size, the further
    // read that would give 0 is spared (most files of a folder fit one read). Past the expected
    // size the file changed, or is no file at all: reading stops.
    if (got < buffer.size() && result.bytes == facts.size) break;
    if (result.bytes > facts.size) break;
    looked_at_end = false;
  }
  if (result.readable && checked && !sized) {
    // Nothing was read: empty, or no file at all (a FIFO without a writer took its place).
    fs::FileLook look;
    if (!os.look(file.get(), &look, &result.error)) return unreadable(result, result.error);
    if (!look.regular) return unreadable(result, {0, "it is no longer a regular file"});
    facts.size = look.size;
    facts.modified = look.times.modified;
    facts.changed = look.times.changed;
    sized = looked_at_end = true;
  }
  result.modified = facts.modified;
  if (!result.readable || !checked) {
    file.close();
    result.crc = result.readable ? crc ^ kCrcFinalXor : 0;
    return result;
  }
  bool same = result.bytes == facts.size;
  if (same && !looked_at_end) {
    fs::FileLook end;
    fs::SysError no_look;
    const auto moved = [](std::int64_t before, std::int64_t after) {
      return before != fs::kUnknownTime && before != after;  // what was not known cannot tell
    };
    same = os.look(file.get(), &end, &no_look) && end.size == facts.size &&
           !moved(facts.modified, end.times.modified) && !moved(facts.changed, end.times.changed);
  }
  file.close();
  if (!same) return unreadable(result, {0, kChangedWhileRead});
  // A partial checksum would look like a real one in the listing: an unreadable file is 0.
  result.crc = crc ^ kCrcFinalXor;
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
