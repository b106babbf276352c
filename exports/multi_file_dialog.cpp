#include "exports/multi_file_dialog.h"

#include <algorithm>

namespace sw {
namespace {
constexpr char kNul = '\0';
}

std::string fixed_field(std::string_view text, std::size_t size) {
  text = text.substr(0, std::min(text.find(kNul), size == 0 ? 0 : size - 1));
  return std::string(text);
}

std::string multi_file_buffer(std::string_view file_name) {
  std::string buffer(kMultiFileBufferSize, kNul);
  const std::size_t n = std::min(file_name.size(), buffer.size());
  std::copy_n(file_name.begin(), n, buffer.begin());
  return buffer;
}

std::string without_trailing_nuls(std::string_view buffer) {
  const std::size_t last = buffer.find_last_not_of(kNul);
  return last == std::string_view::npos ? std::string() : std::string(buffer.substr(0, last + 1));
}

std::int32_t selection_from_answer(std::string_view answer, std::string& selection) {
  const auto fields = static_cast<std::int32_t>(std::count(answer.begin(), answer.end(), kNul)) + 1;
  if (fields == 1) {
    // One full path: split at its last "\" as it stands, blanks included.
    const std::size_t slash = answer.rfind('\\');
    const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
    std::string result(answer.substr(0, slash == std::string_view::npos ? 0 : slash));
    result.push_back('\\');
    result.push_back('?');
    result.append(answer.substr(name_start));
    selection = std::move(result);
    return 1;
  }
  // The folder, then the names, each field ended by a NUL except the last.
  std::size_t end = answer.find(kNul);
  std::string result(answer.substr(0, end));
  if (result.empty() || result.back() != '\\') result.push_back('\\');
  while (end != std::string_view::npos) {
    const std::size_t start = end + 1;
    end = answer.find(kNul, start);
    result.push_back('?');
    result.append(answer.substr(start, end == std::string_view::npos ? end : end - start));
  }
  selection = std::move(result);
  return fields - 1;
}

std::int32_t RUNMULTIOPENDIALOG(const FileDialogPlatform& platform, std::uint32_t owner,
                                std::string_view title, std::string& file_name,
                                std::string_view initial_folder, std::string_view filter,
                                std::string_view default_extension, std::uint32_t& flags) {
  FileDialogRequest request;
  request.owner = owner;
  request.filter_list = filter_list(filter);
  // A folder the field would cut is treated as an empty one, as the open and save dialogs do.
  const std::string folder = dialog_start_folder(
      platform, initial_folder, std::min(kInitialFolderLimit, kMultiFolderFieldSize - 1));
  request.initial_folder = fixed_field(folder, kMultiFolderFieldSize);
  request.file_buffer = multi_file_buffer(file_name);
  request.file_title_size = kMultiFileTitleSize;
  request.default_extension = fixed_field(default_extension, kMultiExtensionFieldSize);
  request.always_pass_extension = true;
  request.title = fixed_field(title, kMultiTitleFieldSize);
  request.flags = flags;
  const std::int32_t result = platform.show(FileDialogKind::kOpen, request);
  file_name = without_trailing_nuls(request.file_buffer);
  flags = request.flags;
  return result;
}

std::int32_t GETMULTIPLEFILES(const FileDialogPlatform& platform, std::uint32_t owner,
                              std::string_view initial_folder, std::string& selection) {
  std::string file_name(kMultiFileInitialName);
  std::uint32_t flags = kMultiFileFlags;
  if (RUNMULTIOPENDIALOG(platform, owner, kMultiFileTitle, file_name, initial_folder,
                         kMultiFileFilter, {}, flags) == 0) {
    return 0;
  }
  std::string chosen;
  const std::int32_t count = selection_from_answer(file_name, chosen);
  platform.clear_owner_list(owner);
  selection = std::move(chosen);
  return count;
}

}  // namespace sw
