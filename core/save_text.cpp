#include "core/save_text.h"

#include "core/text.h"

namespace sw {

TextFileWriter::~TextFileWriter() {
  abandon();
}

bool TextFileWriter::open(const fs::Folder& folder, const std::string& name, fs::SysError* err) {
  abandon();
  folder_ = folder.get();
  name_ = name;
  failed_ = false;
  if (!fs::ops().create_temp(folder_, name, file_.receive(), &temp_name_, &error_)) {
    temp_name_.clear();
    failed_ = true;
    if (err != nullptr) *err = error_;
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

bool TextFileWriter::flush_buffer() {
  if (failed_) return false;
  if (!buffer_.empty() && !fs::ops().write(file_.get(), buffer_.data(), buffer_.size(), &error_))
    failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool TextFileWriter::write(std::string_view text) {
  if (failed_ || temp_name_.empty()) return false;
  if (buffer_.size() + text.size() > kBufferSize && !flush_buffer()) return false;
  if (text.size() >= kBufferSize) {
    if (!fs::ops().write(file_.get(), text.data(), text.size(), &error_)) failed_ = true;
    return !failed_;
  }
  buffer_ += text;
  return true;
}

bool TextFileWriter::commit(fs::SysError* err) {
  bool done = !temp_name_.empty() && write(kCrLf) && flush_buffer() &&
              fs::ops().flush(file_.get(), &error_);
  file_.close();  // before the rename: Windows renames no open file
  done = done && fs::ops().replace(folder_, temp_name_, name_, &error_);
  if (done) {
    temp_name_.clear();
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
}

bool SAVETEXTFILE(const fs::Folder& folder, const std::string& name, std::string_view text,
                  fs::SysError* error) {
  TextFileWriter writer;
  if (!writer.open(folder, name, error)) return false;
  writer.write(text);
  return writer.commit(error);
}

bool SAVETEXTFILE(const std::string& path, std::string_view text, fs::SysError* error) {
  const auto [folder_path, name] = fs::split_path(path);
  fs::Folder folder;
  if (!folder_path.empty() && !folder.open(folder_path, error)) return false;
  return SAVETEXTFILE(folder, name, text, error);
}

}  // namespace sw
