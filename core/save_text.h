// Writing an output text file without ever losing the earlier one.
#pragma once

#include <string>
#include <string_view>

#include "core/os/fs.h"

namespace sw {

// Where a text goes, piece by piece.
class TextSink {
 public:
  virtual ~TextSink() = default;
  // False once a write has failed; later writes are then ignored.
  virtual bool write(std::string_view text) = 0;
};

class StringSink final : public TextSink {
 public:
  bool write(std::string_view text) override {
    text_ += text;
    return true;
  }
  std::string& text() { return text_; }

 private:
  std::string text_;
};

// An output file written piece by piece: the bytes go to a temporary file in the same folder,
// which replaces the file only on commit, once everything is written and flushed. Until then,
// and on any failure, the earlier file stays exactly as it was; a writer that is not committed
// removes its temporary file.
class TextFileWriter final : public TextSink {
 public:
  TextFileWriter() = default;
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  bool open(const fs::Folder& folder, const std::string& name, fs::SysError* err);
  // The same for an output file named by the user (native form): its links are followed; a
  // plain file (or nothing yet) where they lead is written as open() writes, beside it; a
  // character device or a FIFO is written straight through (nothing renamed, nothing flushed:
  // /dev/null, /dev/stdout, a pipe to another program). A link that leads nowhere, a folder, or
  // anything else is refused with the reason.
  bool open_path(const std::string& path, fs::SysError* err);
  bool write(std::string_view text) override;
  // Writes the closing CR LF, flushes and puts the file in place. False when it could not be
  // saved whole and durably: then placed() tells whether it is in place all the same (the
  // earlier file replaced, the new one not known to survive a power cut; `err` then says
  // "written, but not known to be durable").
  bool commit(fs::SysError* err);
  bool placed() const { return placed_; }
  // Writes the closing CR LF and finishes the file whole, without putting it in place: a
  // SaveBatch does that, with the files of other folders. The writer then lets go of the
  // temporary file, whose name goes to `temp_name` and whose open handle (and with it the lock
  // that says its writer lives) goes to `file`.
  bool stage(std::string* temp_name, fs::File* file, fs::SysError* err);

 private:
  bool flush_buffer();
  void abandon();

  static constexpr std::size_t kBufferSize = 256 * 1024;
  fs::Handle folder_ = fs::kNoHandle;
  fs::Folder own_folder_;  // the folder open_path opened
  bool stream_ = false;    // written straight through
  std::string name_;
  std::string temp_name_;
  fs::File file_;
  std::string buffer_;
  bool failed_ = false;
  bool placed_ = false;
  fs::SysError error_;
};

// What a save that put its file in place but could not make it durable says.
fs::SysError not_durable(const fs::SysError& why);

// Removes the temporary files that earlier saves of the file `path` left beside it (their writer
// killed) and whose writer is gone; a user's file of a like name is never touched.
void remove_abandoned_saves(const std::string& path);

// Writes `text` followed by CR LF as `name` in `folder`, through a TextFileWriter. On failure the
// reason is put into `error`.
bool SAVETEXTFILE(const fs::Folder& folder, const std::string& name, std::string_view text,
                  fs::SysError* error);

// The same for an output file named by its path (TextFileWriter::open_path).
bool SAVETEXTFILE(const std::string& path, std::string_view text, fs::SysError* error);

}  // namespace sw
