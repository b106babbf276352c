#include "core/save_text.h"

#include <atomic>
#include <random>
#include <utility>
#include <vector>

#include "core/own_files.h"
#include "core/text.h"

namespace sw {
namespace {

// A number no other temporary file of this process has, and hard to guess for another: a
// counter mixed with entropy drawn once (drawing it per file costs more than the file here).
std::uint64_t unique_number() {
  static const std::uint64_t seed = [] {
    std::random_device entropy;
    return (std::uint64_t{entropy()} << 32) | entropy();
  }();
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t z = seed + 0x9E3779B97F4A7C15u * (counter.fetch_add(1) + 1);  // splitmix64
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// A new temporary file beside `target`, named by the temporary-name rule: never over anything
// that exists, never for a target that may not be replaced (a folder, a plain file the user made
// unwritable: not behind their back), and with what a replacement takes over from the target.
bool create_temporary(fs::Handle folder, const std::string& target, fs::File* file,
                      std::string* temp_name, fs::SysError* err) {
  const fs::Ops& os = fs::ops();
  fs::ReplaceTarget existing;
  if (!os.inspect_target(folder, target, &existing, err)) return false;
  if (existing.refusal.code != 0) {
    *err = existing.refusal;
    return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::uint64_t unique = unique_number();
    std::string name = temporary_name(target, fs::process_id(), unique);
    switch (os.create_new(folder, name, existing.keep, file->receive(), err)) {
      case fs::Created::kCreated:
        *temp_name = std::move(name);
        return true;
      case fs::Created::kExists:
        continue;
      case fs::Created::kFailed:
        return false;
    }
  }
  return false;  // err holds the last "exists"
}

}  // namespace

TextFileWriter::~TextFileWriter() {
  abandon();
}

bool TextFileWriter::open(const fs::Folder& folder, const std::string& name, fs::SysError* err) {
  abandon();
  folder_ = folder.get();
  name_ = name;
  failed_ = false;
  placed_ = false;
  if (!create_temporary(folder_, name, &file_, &temp_name_, &error_)) {
    temp_name_.clear();
    failed_ = true;
    if (err != nullptr) *err = error_;
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

bool TextFileWriter::open_path(const std::string& path, fs::SysError* err) {
  abandon();
  fs::SysError why;
  fs::OutputTarget target;
  const auto refuse = [&](fs::SysError reason) {
    error_ = std::move(reason);
    failed_ = true;
    if (err != nullptr) *err = error_;
    return false;
  };
  if (!fs::ops().resolve_output(path, &target, &why)) return refuse(why);
  if (target.kind == fs::OutputTarget::kStream) {
    if (!fs::ops().open_stream(target.path, file_.receive(), &why)) return refuse(why);
    stream_ = true;
    failed_ = false;
    placed_ = false;
    buffer_.reserve(kBufferSize);
    return true;
  }
  // A plain file: written beside where the links lead, and put in place there; a link stays.
  remove_abandoned_saves(target.path);
  const auto [where, name] = fs::split_path(target.path);
  if (!where.empty() && !own_folder_.open(where, &why)) return refuse(why);
  return open(own_folder_, name, err);
}

bool TextFileWriter::flush_buffer() {
  if (failed_) return false;
  if (!buffer_.empty() && !fs::ops().write(file_.get(), buffer_.data(), buffer_.size(), &error_))
    failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool TextFileWriter::write(std::string_view text) {
  if (failed_ || (temp_name_.empty() && !stream_)) return false;
  if (buffer_.size() + text.size() > kBufferSize && !flush_buffer()) return false;
  if (text.size() >= kBufferSize) {
    if (!fs::ops().write(file_.get(), text.data(), text.size(), &error_)) failed_ = true;
    return !failed_;
  }
  buffer_ += text;
  return true;
}

fs::SysError not_durable(const fs::SysError& why) {
  return {why.code, "written, but not known to be durable: " + why.message};
}

bool TextFileWriter::commit(fs::SysError* err) {
  if (stream_) {
    // Straight through: what is written is where it goes; nothing to flush or rename.
    const bool done = write(kCrLf) && flush_buffer();
    file_.close();
    stream_ = false;
    if (!done && err != nullptr) *err = error_;
    return done;
  }
  bool done = !temp_name_.empty() && write(kCrLf) && flush_buffer() &&
              fs::ops().flush(file_.get(), &error_);
  if (!fs::renames_open_files()) file_.close();  // Windows renames no open file
  done = done && fs::ops().replace(folder_, temp_name_, name_, &error_);
  file_.close();  // until the rename, its lock says its writer lives
  if (done) {
    temp_name_.clear();
    // In place: the earlier file is gone, whatever the folder's flush says.
    if (fs::ops().flush_folder(folder_, &error_)) return true;
    placed_ = true;
    if (err != nullptr) *err = not_durable(error_);
    return false;
  }
  if (err != nullptr) *err = error_;
  abandon();
  return false;
}

bool TextFileWriter::stage(std::string* temp_name, fs::File* file, fs::SysError* err) {
  if (!stream_ && !temp_name_.empty() && write(kCrLf) && flush_buffer()) {
    *file = std::move(file_);
    *temp_name = std::exchange(temp_name_, {});
    buffer_.clear();
    return true;
  }
  if (err != nullptr) *err = error_;
  abandon();
  return false;
}

void TextFileWriter::abandon() {
  file_.close();
  if (!temp_name_.empty()) fs::ops().remove(folder_, temp_name_);
  temp_name_.clear();
  buffer_.clear();
  stream_ = false;
}

void remove_abandoned_saves(const std::string& path) {
  const auto [where, name] = fs::split_path(path);
  fs::Folder folder;
  fs::SysError err;
  if (!folder.open(where.empty() ? fs::folder_path(".") : where, &err)) return;
  fs::DirEntries entries;
  fs::ops().list_folder(folder.get(), false, &entries, &err);  // what was found serves
  for (const fs::DirEntry& e : entries)
    if (is_temporary_of(e.native(), name)) fs::ops().remove_unheld(folder.get(), e.native());
}

bool SAVETEXTFILE(const fs::Folder& folder, const std::string& name, std::string_view text,
                  fs::SysError* error) {
  TextFileWriter writer;
  if (!writer.open(folder, name, error)) return false;
  writer.write(text);
  return writer.commit(error);
}

bool SAVETEXTFILE(const std::string& path, std::string_view text, fs::SysError* error) {
  TextFileWriter writer;
  if (!writer.open_path(path, error)) return false;
  writer.write(text);
  return writer.commit(error);
}

}  // namespace sw
