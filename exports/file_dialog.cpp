#include "exports/file_dialog.h"

#include <algorithm>

#include "core/text.h"

namespace sw {
namespace {

constexpr char kNul = '\0';

// The name up to and including its first NUL, or the name and a NUL, then blanks until the
// buffer is `fill_to` bytes long (never cut).
std::string name_buffer(std::string_view name, std::size_t fill_to) {
  std::string buffer;
  const std::size_t nul = name.find(kNul);
  if (nul != std::string_view::npos) {
    buffer.assign(name.substr(0, nul + 1));
  } else {
    buffer.assign(name);
    buffer.push_back(kNul);
  }
  if (buffer.size() < fill_to) buffer.append(fill_to - buffer.size(), kBlank);
  return buffer;
}

FileDialogRequest make_request(const FileDialogPlatform& platform, std::uint32_t owner,
                               std::string_view title, std::string_view initial_folder,
                               std::string_view filter, std::string_view default_extension,
                               std::uint32_t flags) {
  FileDialogRequest request;
  request.owner = owner;
  request.filter_list = filter_list(filter);
  request.file_title_size = kFileTitleSize;
  request.initial_folder = dialog_start_folder(platform, initial_folder);
  request.title.assign(title);
  request.default_extension.assign(default_extension);
  request.flags = flags;
  return request;
}

enum class Routine : std::uint8_t { kShowOpen, kShowSave, kShowSaveA, kShowSaveB };

std::string show_file_dialog(const FileDialogPlatform& platform, Routine routine,
                             std::uint32_t owner, std::string& filter, std::string_view title,
                             std::string& file_name, std::string& initial_folder) {
  const std::string title_copy(title);
  if (trim_blanks(initial_folder).empty()) initial_folder = platform.current_directory();
  if (trim_blanks(filter).empty()) filter.append(kAllFilesFilter);

  std::uint32_t flags = routine == Routine::kShowSaveB ? kShowSaveBFlags : kShowDialogFlags;
  const std::int32_t confirmed =
      routine == Routine::kShowOpen
          ? RUNOPENDIALOG(platform, owner, title_copy, file_name, initial_folder, filter,
                          kOpenDefaultExtension, flags)
          : RUNSAVEDIALOG(platform, owner, title_copy, file_name, initial_folder, filter, {},
                          flags);
  return confirmed != 0 ? file_name : std::string();
}

}  // namespace

std::string dialog_start_folder(const FileDialogPlatform& platform, std::string_view folder,
                                std::size_t limit) {
  if (!folder.empty() && folder.size() <= limit) return std::string(folder);
  std::string current = platform.current_directory();
  if (current.size() > limit) current.clear();
  return current;
}

std::string filter_list(std::string_view filter_text) {
  std::string list(filter_text);
  std::replace(list.begin(), list.end(), '|', kNul);
  list.append(2, kNul);
  return list;
}

std::string open_file_buffer(std::string_view file_name) {
  return name_buffer(file_name, kOpenFileBufferSize);
}

std::string save_file_buffer(std::string_view file_name) {
  file_name = file_name.substr(0, kSaveNameLimit);
  // A name without NUL gets 260 - length blanks after its NUL: 261 bytes in all.
  const bool has_nul = file_name.find(kNul) != std::string_view::npos;
  return name_buffer(file_name, has_nul ? kSaveNameLimit : kSaveNameLimit + 1);
}

std::string before_last_nul(std::string_view buffer) {
  const std::size_t nul = buffer.rfind(kNul);
  return nul == std::string_view::npos ? std::string() : std::string(buffer.substr(0, nul));
}

std::string before_first_nul(std::string_view buffer) {
  const std::size_t nul = buffer.find(kNul);
  return nul == std::string_view::npos ? std::string() : std::string(buffer.substr(0, nul));
}

namespace {

// The two runners differ only in the dialog, the buffer they hand it and where they cut the
// answer.
std::int32_t run_file_dialog(const FileDialogPlatform& platform, FileDialogKind kind,
                             std::string (*make_buffer)(std::string_view),
                             std::string (*cut_answer)(std::string_view), std::uint32_t owner,
                             std::string_view title, std::string& file_name,
                             std::string_view initial_folder, std::string_view filter,
                             std::string_view default_extension, std::uint32_t& flags) {
  FileDialogRequest request =
      make_request(platform, owner, title, initial_folder, filter, default_extension, flags);
  request.file_buffer = make_buffer(file_name);
  const std::int32_t result = platform.show(kind, request);
  file_name = cut_answer(request.file_buffer);
  flags = request.flags;
  return result;
}

}  // namespace

std::int32_t RUNOPENDIALOG(const FileDialogPlatform& platform, std::uint32_t owner,
                           std::string_view title, std::string& file_name,
                           std::string_view initial_folder, std::string_view filter,
                           std::string_view default_extension, std::uint32_t& flags) {
  return run_file_dialog(platform, FileDialogKind::kOpen, &open_file_buffer, &before_last_nul,
                         owner, title, file_name, initial_folder, filter, default_extension, flags);
}

std::int32_t RUNSAVEDIALOG(const FileDialogPlatform& platform, std::uint32_t owner,
                           std::string_view title, std::string& file_name,
                           std::string_view initial_folder, std::string_view filter,
                           std::string_view default_extension, std::uint32_t& flags) {
  return run_file_dialog(platform, FileDialogKind::kSave, &save_file_buffer, &before_first_nul,
                         owner, title, file_name, initial_folder, filter, default_extension, flags);
}

std::string SHOWOPEN(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                     std::string_view title, std::string& initial_folder) {
  std::string file_name;
  return show_file_dialog(platform, Routine::kShowOpen, owner, filter, title, file_name,
                          initial_folder);
}

std::string SHOWSAVE(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                     std::string_view title, std::string& initial_folder) {
  std::string file_name;
  return show_file_dialog(platform, Routine::kShowSave, owner, filter, title, file_name,
                          initial_folder);
}

std::string SHOWSAVEA(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                      std::string& file_name, std::string_view title, std::string& initial_folder) {
  return show_file_dialog(platform, Routine::kShowSaveA, owner, filter, title, file_name,
                          initial_folder);
}

std::string SHOWSAVEB(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                      std::string_view title, std::string& initial_folder) {
  std::string file_name;
  return show_file_dialog(platform, Routine::kShowSaveB, owner, filter, title, file_name,
                          initial_folder);
}

}  // namespace sw
